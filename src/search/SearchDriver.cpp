#include "search/SearchDriver.h"

#include "search/SearchText.h"

SearchDriver::SearchDriver(const LinkSearch &index, QObject *parent)
    : QObject(parent)
    , m_index(index)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &SearchDriver::run);
}

void SearchDriver::setText(const QString &text, bool announce)
{
    m_text = text;
    m_words = SearchText::words(text);
    if (m_words.isEmpty()) {
        m_timer.stop();
        m_result = SearchResult();
        if (announce)
            Q_EMIT cleared();
        return;
    }
    if (!m_timer.isActive())
        m_timer.start();
}

void SearchDriver::refresh()
{
    if (!m_words.isEmpty() && !m_timer.isActive())
        m_timer.start();
}

void SearchDriver::run()
{
    // The last result narrows the work only when the index has not changed since.
    m_result = m_index.find(m_words, &m_result);
    Q_EMIT found(m_result);
}
