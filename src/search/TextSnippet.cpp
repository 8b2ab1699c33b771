#include "TextSnippet.h"

#include "search/TextPieces.h"
#include "store/TextStore.h"

#include <algorithm>
#include <string>
#include <vector>

namespace TextSnippet {
namespace {

struct Token
{
    int at = 0; // its piece in the arena
    int size = 0;
    int start = 0; // its bytes in the text
    int end = 0;
};

struct Hit
{
    int first = 0;
    int last = 0;
};

bool lead(QByteArrayView text, qsizetype at)
{
    return (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
}

// The hits of the phrases among the first `known` tokens, whose neighbours are known too.
std::vector<Hit> hitsOf(const std::vector<TextPieces::Phrase> &phrases,
                        const std::vector<Token> &tokens, size_t known, const std::string &arena)
{
    std::vector<Hit> hits;
    for (const TextPieces::Phrase &p : phrases) {
        const size_t k = p.pieces.size();
        for (size_t i = 0; i + k <= known; ++i) {
            bool all = true;
            for (size_t j = 0; j < k && all; ++j) {
                const Token &t = tokens[i + j];
                const std::string_view piece(arena.data() + t.at, size_t(t.size));
                const std::string_view want(p.pieces[j].constData(), size_t(p.pieces[j].size()));
                all = j + 1 == k && p.prefix ? piece.starts_with(want) : piece == want;
            }
            if (all)
                hits.push_back({int(i), int(i + k - 1)});
        }
    }
    return hits;
}

struct Window
{
    int from = 0;
    int to = -1;
    bool more = false; // places follow the window
    std::vector<Hit> hits;
    std::vector<Token> tokens;
};

// The window around the first hit of the phrases in the text cut `how`; none when no hit.
// Only a head of the text is cut, twice as long each time, until the window and the hits that
// start inside it lie before the head's last few bytes (which cutting the text short changes).
bool windowOf(QByteArrayView text, TextPieces::Cut how,
              const std::vector<TextPieces::Phrase> &phrases, int tokens, Window &w)
{
    if (phrases.empty())
        return false;
    int longest = 1;
    for (const TextPieces::Phrase &p : phrases)
        longest = std::max(longest, int(p.pieces.size()));
    constexpr int kUnsure = 8; // bytes at a head's end whose places may change
    const qsizetype size = text.size();
    std::string arena;
    for (qsizetype head = std::min<qsizetype>(size, 1024);; head = std::min(size, head * 2)) {
        while (head < size && !lead(text, head))
            ++head;
        arena.clear();
        w.tokens.clear();
        TextPieces::cut(text.first(head), how, [&](const TextPieces::Piece &p) {
            w.tokens.push_back({int(arena.size()), int(p.utf8.size()), p.start, p.end});
            arena.append(p.utf8.data(), size_t(p.utf8.size()));
            return true;
        });
        const bool whole = head == size;
        size_t known = w.tokens.size();
        while (!whole && known > 0 && w.tokens[known - 1].end > head - kUnsure)
            --known;
        w.hits = hitsOf(phrases, w.tokens, known, arena);
        if (!w.hits.empty()) {
            int first = w.hits.front().first;
            for (const Hit &h : w.hits)
                first = std::min(first, h.first);
            w.from = std::max(0, first - tokens / 4);
            w.to = w.from + tokens - 1;
            if (whole || w.to + longest < int(known)) {
                w.more = int(w.tokens.size()) > w.to + 1;
                w.to = std::min(w.to, int(w.tokens.size()) - 1);
                return true;
            }
        }
        if (whole)
            return false;
    }
}

} // namespace

QString of(QByteArrayView utf8, const QStringList &words, int tokens)
{
    tokens = std::max(1, tokens);
    // Around the first hit of a longer word; of one character, when only those are there.
    std::vector<TextPieces::Phrase> longer, single;
    for (const QString &word : words) {
        TextPieces::Phrase p = TextPieces::phraseOf(word);
        if (!p.pieces.empty())
            (p.table == TextStore::Chars ? single : longer).push_back(std::move(p));
    }
    Window w;
    if (!windowOf(utf8, TextPieces::Cut::Text, longer, tokens, w)
        && !windowOf(utf8, TextPieces::Cut::Chars, single, tokens, w))
        return {};
    const int size = int(utf8.size());
    int begin = w.tokens[size_t(w.from)].start;
    int end = begin;
    for (int at = w.from; at <= w.to; ++at)
        end = std::max(end, w.tokens[size_t(at)].end);
    // At the text's start or end, what lies between it and the window goes along, up to a few
    // characters: the table of characters makes no place of a Latin word, and "東京 weather"
    // should not lose its word.
    constexpr int kEdge = 48;
    bool before = w.from > 0, after = w.more;
    if (!before && begin > 0) {
        int b = std::max(0, begin - kEdge);
        while (b < begin && !lead(utf8, b))
            ++b;
        before = b > 0;
        begin = b;
    }
    if (!after && end < size) {
        int e = std::min(size, end + kEdge);
        while (e > end && e < size && !lead(utf8, e))
            --e;
        after = e < size;
        end = e;
    }
    // Marked: every byte of a hit inside the window.
    std::vector<bool> marked(size_t(end - begin), false);
    for (const Hit &h : w.hits) {
        for (int at = std::max(h.first, w.from); at <= std::min(h.last, w.to); ++at) {
            const Token &t = w.tokens[size_t(at)];
            std::fill(marked.begin() + (t.start - begin), marked.begin() + (t.end - begin), true);
        }
    }
    QString out;
    out.reserve(end - begin + 16);
    if (before)
        out += u'…';
    for (int i = begin; i < end;) {
        const bool on = marked[size_t(i - begin)];
        int j = i + 1;
        while (j < end && marked[size_t(j - begin)] == on)
            ++j;
        if (on)
            out += QChar(TextStore::kMarkOpen);
        out += QString::fromUtf8(utf8.sliced(i, j - i));
        if (on)
            out += QChar(TextStore::kMarkClose);
        i = j;
    }
    if (after)
        out += u'…';
    return out;
}

} // namespace TextSnippet
