#pragma once

#include "collection/CollectionIndex.h"
#include "search/SearchDriver.h"

#include <QObject>

#include <functional>

#include <memory>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

class LinkListView;
class QLabel;
class QLineEdit;

// The search box of the main window: typing filters the list to the links that hold every
// word, in the list's usual order, without a button; an empty box or Escape gives the list
// back to the group selector. The index over the whole collection is read on a worker thread
// once the window shows (the box says "準備中" meanwhile and answers what was typed when it is
// ready), then kept correct as links are registered and deleted.
class SearchBox : public QObject
{
    Q_OBJECT
public:
    // count, when given, shows how many links the search found.
    SearchBox(QLineEdit *box, LinkListView *list, QLabel *count = nullptr,
              QObject *parent = nullptr);
    ~SearchBox() override;

    // Starts reading the index in the background, unless it is read or being read.
    void prepare();
    bool isReady() const { return m_index.isBuilt(); }
    // The index now, waiting for the background reading or reading it here; a failure is shown.
    // True when it is ready.
    bool ensureBuilt();
    CollectionIndex &index() { return m_index; }
    bool isActive() const { return m_driver.isActive(); }
    // The groups the search keeps to, as the group selector chooses them.
    void setScope(const GroupTree::Scope &scope);
    const GroupTree::Scope &scope() const { return m_scope; }

    // A link was registered, corrected or deleted: the index follows. Anything larger changes
    // the collection: rebuild() reads it again in the background.
    void saved(const LinkRecord &link);
    void deleted(qint64 nURL);
    void rebuild();
    // Empties the box without touching the list (the list is being filled otherwise).
    void clearBox();
    // The box's text is searched again (the page-text search was turned off).
    void research();
    // run(text) true: another search answers the text typed (the page-text search).
    void setTextSearch(std::function<bool(const QString &)> run) { m_textSearch = std::move(run); }
    // The rows listRead() announced, handed over once.
    std::vector<PackedRow> takeListRead() { return std::exchange(m_listRead, {}); }

Q_SIGNALS:
    // The box was emptied: the list shows what the group selector says.
    void cleared();
    // The groups searched changed.
    void scopeChanged();
    // The background reading has every listed link in list order, before the index is ready:
    // takeListRead() gives them.
    void listRead();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Job;
    void adopt();
    void showFound(const SearchResult &result);

    QLineEdit *m_box;
    LinkListView *m_list;
    QLabel *m_count;
    CollectionIndex m_index;
    SearchDriver m_driver;
    GroupTree::Scope m_scope;
    std::shared_ptr<Job> m_job;
    std::thread m_worker;
    // Changes made while the worker reads, applied to what it read.
    std::vector<std::variant<LinkRecord, qint64>> m_pending;
    std::function<bool(const QString &)> m_textSearch;
    std::vector<PackedRow> m_listRead;
};
