#include "TextIndex.h"

#include "platform/DataFolder.h"
#include "search/SearchText.h"
#include "search/TextPieces.h"
#include "store/LinkStore.h"

#include <QFile>

#include <algorithm>

namespace {
constexpr int kSnippetTokens = 16;
}

TextIndex::TextIndex(const QString &dataPh)
    : m_store((TextPieces::useEverywhere(), DataFolder::textIndex(dataPh)))
{
}

bool TextIndex::removeFile(const QString &dataPh)
{
    const QString path = DataFolder::textIndex(dataPh);
    for (const char *end : {"-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1StringView(end));
    return !QFile::exists(path) || QFile::remove(path);
}

bool TextIndex::find(const QString &query, int limit, int snippets, std::vector<Found> &out,
                     QString *error)
{
    out.clear();
    const QStringList words = SearchText::words(query);
    if (words.isEmpty())
        return true;
    const size_t count = size_t(words.size());
    std::vector<SearchText::Matcher> matchers;
    for (const QString &w : words)
        matchers.emplace_back(w);
    // Every link, in the order of its number, with the words its fields hold: page text of links
    // no longer in the collection never counts.
    struct Link
    {
        qint64 nURL;
        qsizetype fields; // where its words' marks start in `inFields`
    };
    std::vector<Link> links;
    std::vector<char> inFields;
    QString why;
    if (!LinkStore::forEachLink(
            0,
            [&](const LinkStore::LinkView &v) {
                links.push_back({v.nURL, qsizetype(inFields.size())});
                for (const SearchText::Matcher &m : matchers)
                    inFields.push_back(m.matches(v.sURL, v.sNam, v.sMem) ? 1 : 0);
            },
            &why)) {
        if (error)
            *error = why;
        return false;
    }
    std::sort(links.begin(), links.end(),
              [](const Link &a, const Link &b) { return a.nURL < b.nURL; });
    // Per word, one pass over the pages holding it gives both the match and its part of the rank
    // (every phrase's part is its own, so the parts add up to the rank of all the words).
    std::vector<int> held(links.size(), 0);
    std::vector<size_t> seen(links.size(), 0);
    std::vector<double> ranks(links.size(), 0.0);
    std::vector<TextStore::Scored> rows;
    for (size_t w = 0; w < count; ++w) {
        const TextPieces::Match m = TextPieces::matchOf(words.at(qsizetype(w)));
        if (!m.text.isEmpty()) {
            rows.clear();
            if (!m_store.scored(m.text, m.table, rows)) {
                if (error)
                    *error = m_store.error();
                return false;
            }
            if (!std::is_sorted(rows.begin(), rows.end(),
                                [](const auto &a, const auto &b) { return a.nURL < b.nURL; }))
                std::sort(rows.begin(), rows.end(),
                          [](const auto &a, const auto &b) { return a.nURL < b.nURL; });
            auto at = links.begin();
            for (const TextStore::Scored &r : rows) {
                at = std::lower_bound(at, links.end(), r.nURL,
                                      [](const Link &l, qint64 n) { return l.nURL < n; });
                if (at == links.end())
                    break;
                if (at->nURL != r.nURL)
                    continue;
                const size_t i = size_t(at - links.begin());
                seen[i] = w + 1;
                ranks[i] += r.rank;
            }
        }
        for (size_t i = 0; i < links.size(); ++i) {
            if (seen[i] == w + 1 || inFields[size_t(links[i].fields) + w])
                ++held[i];
        }
    }
    for (size_t i = 0; i < links.size(); ++i) {
        if (held[i] == int(count))
            out.push_back({links[i].nURL, ranks[i], {}});
    }
    // Ranks are negative, lower is better; links found by their fields alone come after.
    const auto better = [](const Found &a, const Found &b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return a.nURL > b.nURL;
    };
    if (limit > 0 && out.size() > size_t(limit)) {
        std::partial_sort(out.begin(), out.begin() + limit, out.end(), better);
        out.resize(size_t(limit));
    } else {
        std::sort(out.begin(), out.end(), better);
    }
    for (size_t i = 0; i < out.size() && i < size_t(snippets); ++i) {
        if (out[i].rank != 0)
            out[i].snippet = snippet(words, out[i].nURL);
    }
    return true;
}

QString TextIndex::snippet(const QStringList &words, qint64 nURL)
{
    // Around the first hit of a longer word; of one character, when only those are there.
    for (const TextStore::Table table : {TextStore::Pieces, TextStore::Chars}) {
        const QString any = TextPieces::matchAll(words, table);
        const QString s
            = any.isEmpty() ? QString() : m_store.snippet(any, table, nURL, kSnippetTokens);
        if (!s.isEmpty())
            return s;
    }
    return {};
}

QString TextIndex::snippet(const QString &query, qint64 nURL)
{
    return snippet(SearchText::words(query), nURL);
}
