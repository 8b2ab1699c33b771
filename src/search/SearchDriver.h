#pragma once

#include "search/LinkSearch.h"

#include <QObject>
#include <QTimer>

// Runs the search for what the user typed, as the window's search box needs it: each change of
// text only notes the text, and the search runs once the keys already waiting have been handled
// (a zero-time timer), always for the latest text. A burst of keys costs one search, and no key
// waits for the search of an older text. When the new text only adds to the old one, the search
// looks only at the links the old one found.
class SearchDriver : public QObject
{
    Q_OBJECT

public:
    explicit SearchDriver(const LinkSearch &index, QObject *parent = nullptr);

    // The box's text changed. An empty (or blank) text ends the search at once: cleared(),
    // unless announce is false.
    void setText(const QString &text, bool announce = true);
    QString text() const { return m_text; }
    // True while a text with words is set.
    bool isActive() const { return !m_words.isEmpty(); }
    // The index changed (a registration, a deletion, a maintenance save): search the current
    // text again, if there is one.
    void refresh();
    // The latest result (empty before the first search).
    const SearchResult &result() const { return m_result; }

Q_SIGNALS:
    void found(const SearchResult &result);
    void cleared();

private:
    void run();

    const LinkSearch &m_index;
    QTimer m_timer;
    QString m_text;
    QStringList m_words;
    SearchResult m_result;
};
