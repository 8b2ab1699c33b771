#include "ListSearch.h"

#include "platform/Dialogs.h"
#include "ui/main/LinkListView.h"

#include <QKeyEvent>
#include <QLineEdit>

ListSearch::ListSearch(QLineEdit *box, LinkListView *list, QObject *parent)
    : QObject(parent)
    , m_box(box)
    , m_list(list)
    , m_driver(m_index.search())
{
    connect(m_box, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (ensureBuilt())
            m_driver.setText(text);
    });
    connect(&m_driver, &SearchDriver::found, this,
            [this](const SearchResult &result) { m_list->fill(m_index.rowsOf(result)); });
    connect(&m_driver, &SearchDriver::cleared, this, &ListSearch::cleared);
    m_box->installEventFilter(this);
}

bool ListSearch::ensureBuilt()
{
    if (m_index.isBuilt())
        return true;
    QString error;
    if (!m_index.build(&error)) {
        Dialogs::message(tr("検索の準備に失敗しました: %1").arg(error));
        return false;
    }
    return true;
}

bool ListSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_box && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        m_box->clear();
        m_driver.setText({});
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// The list on show keeps its rows (the registration inserts or corrects its own row, so that
// the active row stays the link on show); the next key searches the changed index.
void ListSearch::saved(const LinkRecord &link)
{
    m_index.saved(link);
}
void ListSearch::deleted(qint32 nURL)
{
    m_index.deleted(nURL);
}

void ListSearch::clearBox()
{
    m_box->clear();
    m_driver.setText({}, false);
}

void ListSearch::rebuild()
{
    m_index.invalidate();
    if (m_driver.isActive() && ensureBuilt())
        m_driver.refresh();
}
