#include "TextIndex.h"

#include "platform/DataFolder.h"
#include "search/LinkSearch.h"
#include "search/SearchText.h"
#include "search/SearchedTags.h"
#include "search/TextPieces.h"
#include "search/TextSnippet.h"
#include "store/LinkStore.h"

#include <QFile>

#include <algorithm>

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

TextIndex::Fields TextIndex::fieldsOf(const LinkSearch &search, const QString &query)
{
    Fields out;
    out.words = SearchText::words(query);
    out.links = search.find(QStringList()).numbers;
    std::sort(out.links.begin(), out.links.end());
    for (const QString &w : std::as_const(out.words)) {
        out.holding.push_back(search.find(QStringList {w}).numbers);
        std::sort(out.holding.back().begin(), out.holding.back().end());
    }
    return out;
}

bool TextIndex::fieldsOf(const QString &query, Fields &out, QString *error, qint64 nGrp,
                         const std::function<void(const LinkStore::LinkView &)> &each)
{
    out = {};
    out.words = SearchText::words(query);
    std::vector<SearchText::Matcher> matchers;
    for (const QString &w : std::as_const(out.words))
        matchers.emplace_back(w);
    out.holding.resize(matchers.size());
    QString why;
    SearchedTags tags;
    if (!tags.load(&why)
        || !LinkStore::forEachLink(
            nGrp,
            [&](const LinkStore::LinkView &v) {
                if (each)
                    each(v);
                out.links.push_back(v.nURL);
                const QByteArrayView described = tags.described(v.nURL, v.sMem);
                for (size_t w = 0; w < matchers.size(); ++w) {
                    if (matchers[w].matches(v.sURL, v.sNam, described))
                        out.holding[w].push_back(v.nURL);
                }
            },
            &why)) {
        if (error)
            *error = why;
        return false;
    }
    if (!std::is_sorted(out.links.begin(), out.links.end())) {
        std::sort(out.links.begin(), out.links.end());
        for (std::vector<qint64> &h : out.holding)
            std::sort(h.begin(), h.end());
    }
    return true;
}

bool TextIndex::find(const QString &query, int limit, int snippets, std::vector<Found> &out,
                     QString *error, const Fields *fields)
{
    out.clear();
    Fields read;
    if (!fields || fields->words != SearchText::words(query)) {
        if (!fieldsOf(query, read, error))
            return false;
        fields = &read;
    }
    const QStringList &words = fields->words;
    if (words.isEmpty())
        return true;
    // Every link there is: page text of links no longer in the collection never counts. Per
    // word, one merge keeps the links whose page text (its rank added) or fields hold it; every
    // phrase's part of the rank is its own, so the parts add up to the rank of all the words.
    std::vector<TextStore::Scored> held; // the links holding the words so far, by number
    held.reserve(fields->links.size());
    for (const qint64 n : fields->links)
        held.push_back({n, 0});
    std::vector<TextStore::Scored> rows;
    for (qsizetype w = 0; w < words.size() && !held.empty(); ++w) {
        const TextPieces::Match m = TextPieces::matchOf(words.at(w));
        rows.clear();
        if (!m.text.isEmpty() && !m_store.scored(m.text, m.table, rows)) {
            if (error)
                *error = m_store.error();
            return false;
        }
        const auto byNumber = [](const auto &a, const auto &b) { return a.nURL < b.nURL; };
        if (!std::is_sorted(rows.begin(), rows.end(), byNumber))
            std::sort(rows.begin(), rows.end(), byNumber);
        const std::vector<qint64> &holding = fields->holding[size_t(w)];
        auto row = rows.cbegin();
        auto inFields = holding.cbegin();
        size_t kept = 0;
        for (const TextStore::Scored &f : held) {
            while (row != rows.cend() && row->nURL < f.nURL)
                ++row;
            while (inFields != holding.cend() && *inFields < f.nURL)
                ++inFields;
            const bool inText = row != rows.cend() && row->nURL == f.nURL;
            if (inText || (inFields != holding.cend() && *inFields == f.nURL))
                held[kept++] = {f.nURL, f.rank + (inText ? row->rank : 0.0)};
        }
        held.resize(kept);
    }
    // Ranks are negative, lower is better; links found by their fields alone come after.
    const auto better = [](const TextStore::Scored &a, const TextStore::Scored &b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return a.nURL > b.nURL;
    };
    if (limit > 0 && held.size() > size_t(limit)) {
        std::partial_sort(held.begin(), held.begin() + limit, held.end(), better);
        held.resize(size_t(limit));
    } else {
        std::sort(held.begin(), held.end(), better);
    }
    out.reserve(held.size());
    for (const TextStore::Scored &f : held)
        out.push_back({f.nURL, f.rank, {}});
    for (size_t i = 0; i < out.size() && i < size_t(snippets); ++i) {
        if (out[i].rank != 0)
            out[i].snippet = snippet(words, out[i].nURL);
    }
    return true;
}

QString TextIndex::snippet(const QStringList &words, qint64 nURL)
{
    QByteArray text;
    return m_store.text(nURL, text) ? TextSnippet::of(text, words) : QString();
}

QString TextIndex::snippet(const QString &query, qint64 nURL)
{
    return snippet(SearchText::words(query), nURL);
}
