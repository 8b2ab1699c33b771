#include "CollectionIndex.h"

#include "store/LinkStore.h"

#include <optional>

bool CollectionIndex::build(QString *error,
                            const std::function<void(const std::vector<PackedRow> &)> &listRead)
{
    invalidate();
    LinkList::Ordered list;
    if (!LinkList::loadAll(list, error))
        return false;
    if (listRead)
        listRead(list.rows);
    SearchedTags tags;
    QHash<qint64, qint64> counts;
    if (!tags.load(error) || !LinkStore::linkCounts(counts, error))
        return false;
    qint64 links = 0;
    for (const qint64 c : std::as_const(counts))
        links += c;
    // One more pass over the links gives what the rows leave out, the addresses: the search
    // index over the listed links (in the links' order; the list's order follows), the address
    // keys of every link, and apart the links without a group row, with their titles.
    QHash<qint64, Apart> apart;
    m_twins.reserve(size_t(links));
    const bool ok = m_search.rebuild(
        list.rows.size(), list.textBytes + tags.bytes(), [&](const LinkSearch::AddFn &add) {
            return LinkStore::forEachLink(
                0,
                [&](const LinkStore::LinkView &v) {
                    m_twins.add(v.nURL, QString::fromUtf8(v.sURL));
                    if (!list.groupAt.contains(v.nGrp)) {
                        apart.insert(v.nURL,
                                     {QString::fromUtf8(v.sNam), QString::fromUtf8(v.sURL)});
                        return;
                    }
                    add({v.nURL, v.sURL, v.sNam, tags.described(v.nURL, v.sMem)});
                },
                error);
        });
    m_twins.finish();
    if (!ok) {
        m_twins.clear();
        return false;
    }
    m_list = std::move(list);
    reorder();
    m_apart = std::move(apart);
    m_tags = std::move(tags);
    m_built = true;
    return true;
}

void CollectionIndex::invalidate()
{
    m_built = false;
    m_list = {};
    m_search.clear();
    m_twins.clear();
    m_apart.clear();
    m_tags.clear();
}

void CollectionIndex::reorder()
{
    m_search.setListOrder(m_list.keys.size(), [this](size_t i) { return m_list.number(i); });
}

void CollectionIndex::saved(const LinkRecord &l)
{
    if (!m_built)
        return;
    m_list.place(l.nURL, l.sURL, l.nGrp, l.sNam, l.sMem, l.gSrt);
    const QByteArray address = l.sURL.toUtf8(), title = l.sNam.toUtf8(),
                     description = l.sMem.toUtf8();
    m_search.upsert({l.nURL, address, title, m_tags.described(l.nURL, description)});
    m_twins.insert(l.nURL, l.sURL);
    m_apart.insert(l.nURL, {l.sNam, l.sURL});
    reorder();
}

void CollectionIndex::deleted(qint64 nURL)
{
    if (!m_built)
        return;
    m_list.remove(nURL);
    m_search.remove(nURL);
    m_twins.remove(nURL);
    m_apart.remove(nURL);
    reorder();
}

SearchResult CollectionIndex::find(QStringView query, const SearchResult *previous) const
{
    return m_search.find(query, previous);
}

std::vector<PackedRow> CollectionIndex::rowsOf(const SearchResult &result,
                                               const GroupTree::Scope &scope) const
{
    std::vector<PackedRow> rows;
    rows.reserve(result.positions.size());
    for (const qint32 p : result.positions) {
        if (p >= 0 && size_t(p) < m_list.rows.size() && scope.holds(m_list.group(size_t(p))))
            rows.push_back(m_list.rows[size_t(p)]);
    }
    return rows;
}

std::vector<PackedRow> CollectionIndex::rowsOfLinks(const std::vector<qint64> &numbers,
                                                    const GroupTree::Scope &scope) const
{
    QHash<qint64, size_t> at;
    at.reserve(qsizetype(numbers.size()));
    for (size_t i = 0; i < numbers.size(); ++i)
        at.insert(numbers[i], i);
    std::vector<std::optional<PackedRow>> placed(numbers.size());
    for (size_t p = 0; p < m_list.keys.size(); ++p) {
        if (const auto i = at.constFind(m_list.number(p));
            i != at.cend() && scope.holds(m_list.group(p)))
            placed[*i] = m_list.rows[p];
    }
    std::vector<PackedRow> rows;
    rows.reserve(numbers.size());
    for (std::optional<PackedRow> &r : placed) {
        if (r)
            rows.push_back(std::move(*r));
    }
    return rows;
}

std::vector<CollectionIndex::Twin> CollectionIndex::twinsOf(const QString &address) const
{
    // The keys' hashes name candidates; each is confirmed by its own address's key.
    std::vector<Twin> out;
    const QString key = UrlKey::of(address);
    for (const qint64 n : m_twins.sharing(address)) {
        Apart link = m_apart.value(n);
        if (const qsizetype i = link.address.isNull() ? m_list.find(n) : -1; i >= 0) {
            link.title = LinkList::text(m_list.rows[size_t(i)], LinkList::Title);
            link.address = LinkList::address(m_list.rows[size_t(i)]);
        }
        if (UrlKey::of(link.address) == key)
            out.push_back({n, link.title});
    }
    return out;
}
