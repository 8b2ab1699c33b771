#pragma once

#include "address/UrlKey.h"
#include "collection/LinkList.h"
#include "search/LinkSearch.h"
#include "search/SearchedTags.h"
#include "store/GroupTree.h"
#include "store/Records.h"

// The whole collection held for finding links: every listed link in list order, the search
// index over their texts and the address keys of every link. Built once from the collection
// and kept correct link by link after registrations and deletions; anything larger (a
// maintenance save, an import) invalidates it.
class CollectionIndex
{
public:
    // listRead, when given, gets every listed row in list order as soon as they are read, before
    // the search index and the address keys are made.
    bool build(QString *error = nullptr,
               const std::function<void(const std::vector<PackedRow> &)> &listRead = {});
    bool isBuilt() const { return m_built; }
    void invalidate();

    // A link was registered or corrected; groupName is the name of its group (the list shows
    // it only when that group has a row).
    void saved(const LinkRecord &link);
    void deleted(qint64 nURL);

    SearchResult find(QStringView query, const SearchResult *previous = nullptr) const;
    // The list's rows of a result in list order, of the groups scope holds; copies share the
    // rows held here.
    std::vector<PackedRow> rowsOf(const SearchResult &result,
                                  const GroupTree::Scope &scope = {}) const;
    // The listed rows of links numbers, in that order, of the groups scope holds.
    std::vector<PackedRow> rowsOfLinks(const std::vector<qint64> &numbers,
                                       const GroupTree::Scope &scope) const;
    // Every listed row ("*"), sharing the rows held here.
    const std::vector<PackedRow> &allRows() const { return m_list.rows; }

    // The registered links that are the same page as address (normalised comparison), lowest
    // number first, with their titles.
    struct Twin
    {
        qint64 nURL = 0;
        QString title;
    };
    std::vector<Twin> twinsOf(const QString &address) const;

    const LinkSearch &search() const { return m_search; }

private:
    void reorder();

    LinkList::Ordered m_list;
    LinkSearch m_search;
    UrlTwins m_twins;
    struct Apart
    {
        QString title, address;
    };
    // Links without a listed row (no group row), and those registered since the build.
    QHash<qint64, Apart> m_apart;
    SearchedTags m_tags; // searched with the description they follow
    bool m_built = false;
};
