#include "TextPieces.h"

#include "search/SearchText.h"
#include "store/TextStore.h"

#include <sqlite3.h>

#include <vector>

namespace TextPieces {
namespace {

struct Folded
{
    char32_t c;
    int start; // the original bytes the folded character came from
    int end;
};

// One UTF-8 sequence at p; U+FFFD for a broken one. Advances p.
char32_t next(const unsigned char *&p, const unsigned char *end)
{
    const unsigned char b = *p++;
    if (b < 0x80)
        return b;
    int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (more < 0)
        return 0xFFFD;
    char32_t c = b & (0x3F >> more);
    for (; more > 0; --more) {
        if (p == end || (*p & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (*p++ & 0x3F);
    }
    return c;
}

// Marks that belong to the character before them: folding takes them together ("ｶﾞ" is "ガ").
bool continues(char32_t c)
{
    if (c < 0x300 || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3041 && c <= 0x3096)
        || (c >= 0x30A1 && c <= 0x30FA))
        return false;
    if (c == 0x3099 || c == 0x309A || c == 0xFF9E || c == 0xFF9F || (c >= 0x1160 && c <= 0x11FF))
        return true;
    const auto cat = QChar::category(c);
    return cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining
        || cat == QChar::Mark_Enclosing;
}

void fold(QByteArrayView utf8, std::vector<Folded> &out)
{
    out.clear();
    const auto *begin = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = begin + utf8.size();
    const unsigned char *p = begin;
    while (p < end) {
        const unsigned char *start = p;
        const char32_t c = next(p, end);
        // The character with the marks that follow it.
        const unsigned char *chunkEnd = p;
        for (const unsigned char *q = p; q < end;) {
            const char32_t m = next(q, end);
            if (!continues(m))
                break;
            chunkEnd = q;
        }
        const int s = int(start - begin);
        const int e = int(chunkEnd - begin);
        char32_t f;
        if (chunkEnd == p && SearchText::foldsAlone(c, &f)) {
            out.push_back({f, s, e});
        } else {
            const QString folded = SearchText::fold(
                QByteArrayView(reinterpret_cast<const char *>(start), chunkEnd - start));
            for (const char32_t fc : folded.toUcs4())
                out.push_back({fc, s, e});
        }
        p = chunkEnd;
    }
}

bool isCjk(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x2FDF) || (c >= 0x3001 && c <= 0x33FF)
        || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF)
        || (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F)
        || (c >= 0x1100 && c <= 0x11FF) || (c >= 0xFF61 && c <= 0xFF9F)
        || (c >= 0x20000 && c <= 0x3FFFF);
}

bool isWord(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
    return QChar::isLetterOrNumber(c) || QChar::isMark(c);
}

void appendUtf8(QByteArray &b, char32_t c)
{
    if (c < 0x80) {
        b += char(c);
    } else if (c < 0x800) {
        b += char(0xC0 | (c >> 6));
        b += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        b += char(0xE0 | (c >> 12));
        b += char(0x80 | ((c >> 6) & 0x3F));
        b += char(0x80 | (c & 0x3F));
    } else {
        b += char(0xF0 | (c >> 18));
        b += char(0x80 | ((c >> 12) & 0x3F));
        b += char(0x80 | ((c >> 6) & 0x3F));
        b += char(0x80 | (c & 0x3F));
    }
}

} // namespace

void cut(QByteArrayView utf8, Cut how, const std::function<bool(const Piece &)> &each)
{
    thread_local std::vector<Folded> chars;
    fold(utf8, chars);
    // Emptied with resize(0), which keeps its room: clear() would free it for every piece.
    QByteArray piece;
    piece.reserve(64);
    const bool query = how == Cut::Query;
    const size_t n = chars.size();
    size_t i = 0;
    while (i < n) {
        const char32_t c = chars[i].c;
        if (how == Cut::Chars) {
            if (isCjk(c)) {
                piece.resize(0);
                appendUtf8(piece, c);
                if (!each({piece, chars[i].start, chars[i].end, true, true}))
                    return;
            }
            ++i;
        } else if (isCjk(c)) {
            size_t j = i;
            while (j < n && isCjk(chars[j].c))
                ++j;
            if (j - i == 1) {
                piece.resize(0);
                appendUtf8(piece, c);
                if (!each({piece, chars[i].start, chars[i].end, true, true}))
                    return;
            } else {
                for (size_t k = i; k + 1 < j; ++k) {
                    piece.resize(0);
                    appendUtf8(piece, chars[k].c);
                    appendUtf8(piece, chars[k + 1].c);
                    if (!each({piece, chars[k].start, chars[k + 1].end, true, false}))
                        return;
                }
                // The run's last character alone, at a place of its own: a phrase never runs on
                // into the next run. A query ends its last run without it, so that a word inside
                // a longer run is found.
                bool more = !query;
                for (size_t k = j; k < n && !more; ++k)
                    more = isCjk(chars[k].c) || isWord(chars[k].c);
                if (more) {
                    piece.resize(0);
                    appendUtf8(piece, chars[j - 1].c);
                    if (!each({piece, chars[j - 1].start, chars[j - 1].end, true, true}))
                        return;
                }
            }
            i = j;
        } else if (isWord(c)) {
            size_t j = i;
            piece.resize(0);
            while (j < n && !isCjk(chars[j].c) && isWord(chars[j].c))
                appendUtf8(piece, chars[j++].c);
            if (!each({piece, chars[i].start, chars[j - 1].end, false, false}))
                return;
            i = j;
        } else {
            ++i;
        }
    }
}

namespace {

// tokenize='linkwell' cuts pieces, tokenize='linkwell chars' every CJK character alone.
int create(void *, const char **args, int count, Fts5Tokenizer **out)
{
    static Cut pieces = Cut::Text, chars = Cut::Chars;
    const bool alone = count > 0 && qstrcmp(args[0], "chars") == 0;
    *out = reinterpret_cast<Fts5Tokenizer *>(alone ? &chars : &pieces);
    return SQLITE_OK;
}

void destroy(Fts5Tokenizer *) { }

int tokenize(Fts5Tokenizer *self, void *ctx, int flags, const char *text, int size,
             int (*token)(void *, int, const char *, int, int, int))
{
    int rc = SQLITE_OK;
    Cut how = *reinterpret_cast<const Cut *>(self);
    if (how == Cut::Text && (flags & FTS5_TOKENIZE_QUERY))
        how = Cut::Query;
    cut(QByteArrayView(text, size), how, [&](const Piece &p) {
        rc = token(ctx, 0, p.utf8.data(), int(p.utf8.size()), p.start, p.end);
        return rc == SQLITE_OK;
    });
    return rc;
}

} // namespace

fts5_tokenizer *tokenizer()
{
    static fts5_tokenizer t {create, destroy, tokenize};
    return &t;
}

void useEverywhere()
{
    TextStore::useTokenizer(tokenizer());
}

Phrase phraseOf(const QString &word)
{
    Phrase out;
    bool single = false;
    cut(word.toUtf8(), Cut::Query, [&](const Piece &p) {
        out.pieces.emplace_back(p.utf8.data(), p.utf8.size());
        out.prefix = !p.cjk || (p.single && out.pieces.size() > 1);
        single = p.single;
        return true;
    });
    if (out.pieces.size() == 1 && single)
        out.table = TextStore::Chars;
    return out;
}

Match matchOf(const QString &word)
{
    const Phrase phrase = phraseOf(word);
    if (phrase.pieces.empty())
        return {};
    QString quoted = word;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return {u'"' + quoted + u'"' + (phrase.prefix ? QStringLiteral("*") : QString()), phrase.table};
}

} // namespace TextPieces
