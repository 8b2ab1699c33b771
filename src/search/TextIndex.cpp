#include "TextIndex.h"

#include "platform/DataFolder.h"
#include "search/SearchText.h"
#include "search/TextPieces.h"
#include "store/LinkStore.h"

#include <QFile>
#include <QHash>
#include <QSet>

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
    // Per word, the links holding it anywhere; a link stays while every word is found.
    std::vector<SearchText::Matcher> matchers;
    for (const QString &w : words)
        matchers.emplace_back(w);
    std::vector<QSet<qint64>> holding(words.size());
    // Page text of links no longer in the collection never counts.
    QSet<qint64> links;
    QString why;
    if (!LinkStore::forEachLink(
            0,
            [&](const LinkStore::LinkView &v) {
                links.insert(v.nURL);
                for (size_t i = 0; i < matchers.size(); ++i) {
                    if (matchers[i].matches(v.sURL, v.sNam, v.sMem))
                        holding[i].insert(v.nURL);
                }
            },
            &why)) {
        if (error)
            *error = why;
        return false;
    }
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString match = TextPieces::matchOf(words.at(i));
        if (match.isEmpty())
            continue;
        std::vector<qint64> inText;
        if (!m_store.matching(match, inText)) {
            if (error)
                *error = m_store.error();
            return false;
        }
        for (const qint64 n : inText) {
            if (links.contains(n))
                holding[i].insert(n);
        }
    }
    QSet<qint64> all = holding.front();
    for (size_t i = 1; i < holding.size(); ++i)
        all.intersect(holding[i]);
    QHash<qint64, double> ranks;
    const QString any = TextPieces::matchAll(words, true);
    if (!any.isEmpty() && !all.isEmpty())
        m_store.ranks(any, ranks);
    out.reserve(all.size());
    for (const qint64 n : std::as_const(all))
        out.push_back({n, ranks.value(n, 0.0), {}});
    // Ranks are negative, lower is better; links found by their fields alone come after.
    std::sort(out.begin(), out.end(), [](const Found &a, const Found &b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return a.nURL > b.nURL;
    });
    if (limit > 0 && out.size() > size_t(limit))
        out.resize(size_t(limit));
    for (size_t i = 0; i < out.size() && i < size_t(snippets); ++i) {
        if (out[i].rank != 0)
            out[i].snippet = m_store.snippet(any, out[i].nURL, kSnippetTokens);
    }
    return true;
}

QString TextIndex::snippet(const QString &query, qint64 nURL)
{
    const QString any = TextPieces::matchAll(SearchText::words(query), true);
    return any.isEmpty() ? QString() : m_store.snippet(any, nURL, kSnippetTokens);
}
