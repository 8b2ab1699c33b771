#pragma once

#include "collection/LinkList.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class LinkListView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QStatusBar;
class QThread;
class SearchBox;

// "本文も検索" beside the search box: with it, the box's words are looked for in the saved
// pages' text too, the list shows the links best first and a row's tooltip the text around
// the first hit. The search runs on a worker (the latest text only); the index is brought in
// step with the copies on a low-priority worker after the window shows.
class TextSearch : public QObject
{
    Q_OBJECT
public:
    // restore gives the list back to the group selector.
    TextSearch(QCheckBox *choice, QLineEdit *box, LinkListView *list, SearchBox *search,
               QLabel *count, std::function<void()> restore, QObject *parent = nullptr);
    ~TextSearch() override;

    bool isOn() const;
    // The list shows what the page-text search found.
    bool isShowing() const { return m_active; }
    // Reads the copies not yet indexed, progress in status.
    void backfill(QStatusBar *status);
    // Deletes the index and reads every copy again.
    void reindex();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Query;
    bool run(const QString &text);
    void start();
    void show(const std::shared_ptr<Query> &q);
    void showRows();
    void stopBackfill();

    QCheckBox *m_choice;
    QLineEdit *m_box;
    LinkListView *m_list;
    SearchBox *m_search;
    QLabel *m_count;
    std::function<void()> m_restore;
    QPointer<QStatusBar> m_status;
    QWidget *m_viewport = nullptr; // the list's, whose tooltips show the snippets
    bool m_active = false; // the list shows a text search
    bool m_running = false;
    QString m_text; // the latest text asked for
    QString m_shown; // the text whose result the list shows
    std::vector<qint64> m_found; // its links, best first, of every group
    QThread *m_backfill = nullptr;
    int m_runs = 0;
    std::shared_ptr<std::atomic<bool>> m_keepGoing;
};
