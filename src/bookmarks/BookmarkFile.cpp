#include "BookmarkFile.h"

#include "address/Address.h"
#include "platform/TextFile.h"
#include "store/GroupTree.h"

#include <QCoreApplication>
#include <QHash>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(BookmarkFile)
};

// ---- Bytes: the encoding -----------------------------------------------------------------

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

// needle is lower-case ASCII.
qsizetype indexOfNoCase(QByteArrayView hay, const char *needle, qsizetype from = 0)
{
    const qsizetype len = qsizetype(std::strlen(needle));
    for (qsizetype i = from; i + len <= hay.size(); ++i) {
        qsizetype k = 0;
        while (k < len && lowerAscii(hay[i + k]) == needle[k])
            ++k;
        if (k == len)
            return i;
    }
    return -1;
}

bool isSpaceByte(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The charset a META tag of the file's head names (before its first list), or empty.
QByteArray metaCharset(QByteArrayView bytes)
{
    QByteArrayView head = bytes.first(qMin<qsizetype>(bytes.size(), 64 * 1024));
    for (const char *body : {"<dl", "<dt"}) {
        const qsizetype at = indexOfNoCase(head, body);
        if (at >= 0)
            head = head.first(at);
    }
    for (qsizetype at = 0; (at = indexOfNoCase(head, "<meta", at)) >= 0;) {
        qsizetype close = head.indexOf('>', at);
        if (close < 0)
            close = head.size();
        const QByteArrayView tag = head.sliced(at, close - at);
        at = close;
        const qsizetype c = indexOfNoCase(tag, "charset");
        if (c < 0)
            continue;
        qsizetype i = c + 7;
        while (i < tag.size() && isSpaceByte(tag[i]))
            ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && (isSpaceByte(tag[i]) || tag[i] == '"' || tag[i] == '\''))
            ++i;
        const qsizetype start = i;
        while (i < tag.size() && !isSpaceByte(tag[i]) && tag[i] != '"' && tag[i] != '\''
               && tag[i] != ';')
            ++i;
        if (i > start)
            return tag.sliced(start, i - start).toByteArray().toLower();
    }
    return {};
}

struct Encoding
{
    QString name; // as the user knows it
    QByteArray converter; // the converter's name; empty for a built-in one
    QStringConverter::Encoding builtin = QStringConverter::Utf8;
    qsizetype bom = 0; // bytes of the byte-order mark
};

QStringDecoder decoderOf(const Encoding &e)
{
    return e.converter.isEmpty()
        ? QStringDecoder(e.builtin, QStringConverter::Flag::Stateless)
        : QStringDecoder(e.converter.constData(), QStringConverter::Flag::Stateless);
}

// The encoding for a charset label as browsers take them: the Shift_JIS labels are code page
// 932 (which Windows writes under that name), Latin-1 and ASCII are windows-1252, and a UTF-16
// label in a file without a byte-order mark cannot be right, so it is UTF-8.
std::optional<Encoding> encodingOf(const QByteArray &label)
{
    static const QHash<QByteArray, Encoding> known = [] {
        QHash<QByteArray, Encoding> h;
        for (const char *l :
             {"utf-8", "utf8", "unicode-1-1-utf-8", "utf-16", "utf-16le", "utf-16be", "unicode"})
            h.insert(l, {QStringLiteral("UTF-8"), {}});
        for (const char *l : {"shift_jis", "shift-jis", "sjis", "x-sjis", "ms_kanji", "csshiftjis",
                              "windows-31j", "cp932", "ms932", "x-ms-cp932"})
            h.insert(l, {QStringLiteral("Shift_JIS"), "windows-31j"});
        for (const char *l : {"euc-jp", "eucjp", "x-euc-jp", "cseucpkdfmtjapanese"})
            h.insert(l, {QStringLiteral("EUC-JP"), "EUC-JP"});
        for (const char *l :
             {"iso-8859-1", "latin1", "l1", "us-ascii", "ascii", "windows-1252", "cp1252"})
            h.insert(l, {QStringLiteral("windows-1252"), "windows-1252"});
        return h;
    }();
    if (label.isEmpty())
        return Encoding {QStringLiteral("UTF-8"), {}};
    const auto it = known.constFind(label);
    if (it != known.constEnd())
        return *it;
    if (QStringDecoder(label.constData()).isValid())
        return Encoding {QString::fromLatin1(label), label};
    return std::nullopt;
}

Encoding byteOrderMark(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {QStringLiteral("UTF-8"), {}, QStringConverter::Utf8, 3};
    if (bytes.startsWith("\xFF\xFE"))
        return {QStringLiteral("UTF-16LE"), {}, QStringConverter::Utf16LE, 2};
    if (bytes.startsWith("\xFE\xFF"))
        return {QStringLiteral("UTF-16BE"), {}, QStringConverter::Utf16BE, 2};
    return {};
}

// The first line that does not decode, or 0 when lines cannot be told apart (UTF-16, the only
// built-in encoding that gets here: UTF-8 is checked by firstInvalidUtf8).
int firstBadLine(QByteArrayView bytes, const Encoding &e)
{
    if (!e.converter.isEmpty()) {
        QStringDecoder decoder = decoderOf(e);
        int line = 1;
        for (qsizetype start = 0; start < bytes.size(); ++line) {
            qsizetype end = bytes.indexOf('\n', start);
            end = end < 0 ? bytes.size() : end + 1;
            const QString ignored = decoder(bytes.sliced(start, end - start));
            if (decoder.hasError())
                return line;
            start = end;
        }
    }
    return 0;
}

// Bytes that mention neither the bookmark DOCTYPE nor a link address are no bookmark file,
// whatever their encoding.
bool mentionsBookmarks(QByteArrayView bytes)
{
    return indexOfNoCase(bytes, "netscape-bookmark-file") >= 0 || indexOfNoCase(bytes, "href") >= 0;
}

QString notBookmarksText()
{
    return Tr::tr("ﾌﾞｯｸﾏｰｸのﾌｧｲﾙではありません");
}

// ---- Text: entities --------------------------------------------------------------------------

struct Entity
{
    const char *name;
    char32_t code;
};

// What browsers write first; then Latin-1 and the common typography.
constexpr Entity kEntities[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},       {"quot", '"'},
    {"apos", '\''},     {"nbsp", 0xA0},     {"iexcl", 0xA1},   {"cent", 0xA2},
    {"pound", 0xA3},    {"curren", 0xA4},   {"yen", 0xA5},     {"brvbar", 0xA6},
    {"sect", 0xA7},     {"uml", 0xA8},      {"copy", 0xA9},    {"ordf", 0xAA},
    {"laquo", 0xAB},    {"not", 0xAC},      {"shy", 0xAD},     {"reg", 0xAE},
    {"macr", 0xAF},     {"deg", 0xB0},      {"plusmn", 0xB1},  {"sup2", 0xB2},
    {"sup3", 0xB3},     {"acute", 0xB4},    {"micro", 0xB5},   {"para", 0xB6},
    {"middot", 0xB7},   {"cedil", 0xB8},    {"sup1", 0xB9},    {"ordm", 0xBA},
    {"raquo", 0xBB},    {"frac14", 0xBC},   {"frac12", 0xBD},  {"frac34", 0xBE},
    {"iquest", 0xBF},   {"Agrave", 0xC0},   {"Aacute", 0xC1},  {"Acirc", 0xC2},
    {"Atilde", 0xC3},   {"Auml", 0xC4},     {"Aring", 0xC5},   {"AElig", 0xC6},
    {"Ccedil", 0xC7},   {"Egrave", 0xC8},   {"Eacute", 0xC9},  {"Ecirc", 0xCA},
    {"Euml", 0xCB},     {"Igrave", 0xCC},   {"Iacute", 0xCD},  {"Icirc", 0xCE},
    {"Iuml", 0xCF},     {"ETH", 0xD0},      {"Ntilde", 0xD1},  {"Ograve", 0xD2},
    {"Oacute", 0xD3},   {"Ocirc", 0xD4},    {"Otilde", 0xD5},  {"Ouml", 0xD6},
    {"times", 0xD7},    {"Oslash", 0xD8},   {"Ugrave", 0xD9},  {"Uacute", 0xDA},
    {"Ucirc", 0xDB},    {"Uuml", 0xDC},     {"Yacute", 0xDD},  {"THORN", 0xDE},
    {"szlig", 0xDF},    {"agrave", 0xE0},   {"aacute", 0xE1},  {"acirc", 0xE2},
    {"atilde", 0xE3},   {"auml", 0xE4},     {"aring", 0xE5},   {"aelig", 0xE6},
    {"ccedil", 0xE7},   {"egrave", 0xE8},   {"eacute", 0xE9},  {"ecirc", 0xEA},
    {"euml", 0xEB},     {"igrave", 0xEC},   {"iacute", 0xED},  {"icirc", 0xEE},
    {"iuml", 0xEF},     {"eth", 0xF0},      {"ntilde", 0xF1},  {"ograve", 0xF2},
    {"oacute", 0xF3},   {"ocirc", 0xF4},    {"otilde", 0xF5},  {"ouml", 0xF6},
    {"divide", 0xF7},   {"oslash", 0xF8},   {"ugrave", 0xF9},  {"uacute", 0xFA},
    {"ucirc", 0xFB},    {"uuml", 0xFC},     {"yacute", 0xFD},  {"thorn", 0xFE},
    {"yuml", 0xFF},     {"ensp", 0x2002},   {"emsp", 0x2003},  {"thinsp", 0x2009},
    {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018}, {"rsquo", 0x2019},
    {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D}, {"bdquo", 0x201E},
    {"dagger", 0x2020}, {"Dagger", 0x2021}, {"bull", 0x2022},  {"hellip", 0x2026},
    {"permil", 0x2030}, {"prime", 0x2032},  {"Prime", 0x2033}, {"lsaquo", 0x2039},
    {"rsaquo", 0x203A}, {"euro", 0x20AC},   {"trade", 0x2122}, {"larr", 0x2190},
    {"uarr", 0x2191},   {"rarr", 0x2192},   {"darr", 0x2193},  {"hearts", 0x2665},
};

bool isAsciiAlpha(char16_t c)
{
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
bool isDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}
bool isAsciiAlnum(char16_t c)
{
    return isAsciiAlpha(c) || isDigit(c);
}
bool isSpace(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
int hexValue(char16_t c)
{
    if (isDigit(c))
        return c - '0';
    const char16_t l = c | 0x20;
    return l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
}

// The file's text is read as it is: UTF-8 bytes straight from the file (char), or UTF-16 when
// another encoding had to be decoded first (char16_t). unit() gives a unit as a number in
// which every ASCII character is itself and nothing else is ASCII.
template<class Char> using View = std::basic_string_view<Char>;
inline char16_t unit(char c)
{
    return char16_t(static_cast<unsigned char>(c));
}
inline char16_t unit(char16_t c)
{
    return c;
}

// name is lower-case ASCII.
template<class Char> bool equalsNoCase(View<Char> s, const char *name)
{
    size_t i = 0;
    for (; i < s.size() && name[i]; ++i) {
        char16_t c = unit(s[i]);
        if (c >= 'A' && c <= 'Z')
            c += 32;
        if (c != char16_t(name[i]))
            return false;
    }
    return i == s.size() && !name[i];
}

template<class Char> bool containsNoCase(View<Char> s, const char *name)
{
    const size_t len = std::strlen(name);
    for (size_t i = 0; i + len <= s.size(); ++i) {
        if (equalsNoCase(s.substr(i, len), name))
            return true;
    }
    return false;
}

// References decode into the text being built: UTF-8 bytes or UTF-16.
void appendCode(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}
void appendCode(QString &out, char32_t c)
{
    if (c > 0xFFFF) {
        out.append(QChar(QChar::highSurrogate(c)));
        out.append(QChar(QChar::lowSurrogate(c)));
    } else {
        out.append(QChar(char16_t(c)));
    }
}

// Decodes the reference that starts with the "&" at s[i]; returns where the text goes on, or i
// when there is none (the "&" then stands for itself).
template<class Char, class Out> size_t appendEntity(Out &out, View<Char> s, size_t i)
{
    size_t j = i + 1;
    if (j < s.size() && s[j] == '#') {
        ++j;
        const bool hex = j < s.size() && (s[j] == 'x' || s[j] == 'X');
        if (hex)
            ++j;
        const size_t start = j;
        char32_t code = 0;
        for (; j < s.size(); ++j) {
            const char16_t c = unit(s[j]);
            const int v = hex ? hexValue(c) : (isDigit(c) ? c - '0' : -1);
            if (v < 0)
                break;
            code = qMin<char32_t>(code * (hex ? 16 : 10) + char32_t(v), 0x110000);
        }
        if (j == start)
            return i;
        if (j < s.size() && s[j] == ';')
            ++j;
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD;
        appendCode(out, code);
        return j;
    }
    const size_t start = j;
    while (j < s.size() && j - start < 10 && isAsciiAlnum(unit(s[j])))
        ++j;
    if (j == start || j >= s.size() || s[j] != ';')
        return i;
    const View<Char> name = s.substr(start, j - start);
    for (const Entity &e : kEntities) {
        const size_t len = std::strlen(e.name);
        if (name.size() == len && std::equal(name.begin(), name.end(), e.name))
            return appendCode(out, e.code), j + 1;
    }
    return i;
}

// HTML's white space only: an ideographic space at a title's start is part of the title.
template<class Char> View<Char> trimmed(View<Char> s)
{
    size_t from = 0, to = s.size();
    while (from < to && isSpace(unit(s[from])))
        ++from;
    while (to > from && isSpace(unit(s[to - 1])))
        --to;
    return s.substr(from, to - from);
}

QString toQString(View<char> s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
QString toQString(View<char16_t> s)
{
    return QString(reinterpret_cast<const QChar *>(s.data()), qsizetype(s.size()));
}

// A value or text of the file as the collection keeps it: trimmed, each line break one space,
// references decoded. A line break written as a reference stays a line break.
template<class Char> QString textOf(View<Char> raw)
{
    raw = trimmed(raw);
    size_t i = 0;
    while (i < raw.size() && raw[i] != '&' && raw[i] != '\r' && raw[i] != '\n')
        ++i;
    if (i == raw.size())
        return toQString(raw);
    // Built in the file's own units, then made a text once.
    std::conditional_t<sizeof(Char) == 1, QByteArray, QString> out;
    out.reserve(qsizetype(raw.size()));
    auto append = [&out](View<Char> run) {
        if constexpr (sizeof(Char) == 1)
            out.append(run.data(), qsizetype(run.size()));
        else
            out.append(reinterpret_cast<const QChar *>(run.data()), qsizetype(run.size()));
    };
    append(raw.substr(0, i));
    while (i < raw.size()) {
        size_t run = i;
        while (run < raw.size() && raw[run] != '&' && raw[run] != '\r' && raw[run] != '\n')
            ++run;
        append(raw.substr(i, run - i));
        i = run;
        if (i == raw.size())
            break;
        if (raw[i] == '&') {
            const size_t next = appendEntity(out, raw, i);
            if (next == i) {
                append(raw.substr(i, 1));
                ++i;
            } else {
                i = next;
            }
        } else {
            if constexpr (sizeof(Char) == 1)
                out.append(' ');
            else
                out.append(QChar(u' '));
            i += raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n' ? 2 : 1;
        }
    }
    if constexpr (sizeof(Char) == 1)
        return QString::fromUtf8(out);
    else
        return out;
}

// ADD_DATE's digits; anything else gives 0.
template<class Char> qint64 numberOf(View<Char> value)
{
    value = trimmed(value);
    const size_t dot = value.find('.');
    if (dot != View<Char>::npos)
        value = value.substr(0, dot);
    if (value.empty() || value.size() > 18)
        return 0;
    qint64 v = 0;
    for (const Char c : value) {
        if (!isDigit(unit(c)))
            return 0;
        v = v * 10 + (unit(c) - '0');
    }
    return v;
}

// The first byte that is not part of valid UTF-8 (no overlong forms, no surrogates, nothing
// past U+10FFFF, nothing cut off), or -1.
qsizetype firstInvalidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Eight ASCII bytes at a time.
        if (i + 8 <= n) {
            quint64 word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        unsigned char lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        } else {
            return i;
        }
        if (i + len > n || p[i + 1] < lo || p[i + 1] > hi)
            return i;
        for (int k = 2; k < len; ++k) {
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return i;
        }
        i += len;
    }
    return -1;
}

// ---- Text: the markup --------------------------------------------------------------------------

enum class Tag { A, H3, DL, DT, DD, HR, Other };

template<class Char> Tag tagOf(View<Char> name)
{
    switch (name.size()) {
    case 1: return equalsNoCase(name, "a") ? Tag::A : Tag::Other;
    case 2:
        if (equalsNoCase(name, "h3"))
            return Tag::H3;
        if (equalsNoCase(name, "dl"))
            return Tag::DL;
        if (equalsNoCase(name, "dt"))
            return Tag::DT;
        if (equalsNoCase(name, "dd"))
            return Tag::DD;
        if (equalsNoCase(name, "hr"))
            return Tag::HR;
        return Tag::Other;
    default: return Tag::Other;
    }
}

template<class Char> class Parser
{
public:
    Parser(View<Char> text, BookmarkFile &out)
        : d(text.data())
        , n(qsizetype(text.size()))
        , m_out(out)
    {
    }

    void run()
    {
        m_out.links.reserve(anchors());
        qsizetype p = 0;
        while (p < n) {
            const qsizetype lt = find('<', p);
            if (lt < 0)
                break;
            p = markup(lt);
        }
    }

    bool sawBookmarks() const { return m_doctype || m_href; }

private:
    struct TagEnd
    {
        qsizetype next; // where reading goes on
        bool ok; // false: the tag could not be read and is skipped
    };

    qsizetype find(char c, qsizetype from) const
    {
        if (from >= n)
            return -1;
        if constexpr (sizeof(Char) == 1) {
            const void *at = std::memchr(d + from, c, size_t(n - from));
            return at ? static_cast<const Char *>(at) - d : -1;
        } else {
            const qsizetype at = QStringView(d + from, n - from).indexOf(QChar(char16_t(c)));
            return at < 0 ? -1 : from + at;
        }
    }
    View<Char> view(qsizetype from, qsizetype to) const
    {
        return View<Char>(d + from, size_t(to - from));
    }
    char16_t at(qsizetype i) const { return unit(d[i]); }
    int current() const { return m_open.empty() ? -1 : m_open.back(); }

    // How many "<A " the text holds: room for the links, made once.
    qsizetype anchors() const
    {
        qsizetype count = 0;
        for (qsizetype lt = find('<', 0); lt >= 0 && lt + 2 < n; lt = find('<', lt + 1))
            count += (at(lt + 1) | 0x20) == 'a' && isSpace(at(lt + 2));
        return count;
    }

    // Where the next tag starts (a "<" that a letter, "/", "!" or "?" follows), or n.
    qsizetype nextTag(qsizetype from) const
    {
        for (;;) {
            const qsizetype lt = find('<', from);
            if (lt < 0 || lt + 1 >= n)
                return n;
            const char16_t c = at(lt + 1);
            if (isAsciiAlpha(c) || c == '/' || c == '!' || c == '?')
                return lt;
            from = lt + 1;
        }
    }

    qsizetype afterTag(qsizetype lt) const
    {
        const qsizetype gt = find('>', lt);
        return gt < 0 ? n : gt + 1;
    }

    // At lt: "</" + name + a non-name character.
    bool isEndTag(qsizetype lt, const char *name) const
    {
        const qsizetype len = qsizetype(std::strlen(name));
        return lt + 2 + len <= n && at(lt + 1) == '/'
            && equalsNoCase(view(lt + 2, lt + 2 + len), name)
            && (lt + 2 + len == n || !isAsciiAlnum(at(lt + 2 + len)));
    }

    // Reads the attributes from i to the tag's ">", giving each name and value to onAttribute.
    // A quoted value that a line break interrupts, or a "<" before the ">", makes the tag
    // unreadable; reading goes on at that line break or "<".
    template<class F> TagEnd attributes(qsizetype i, F &&onAttribute)
    {
        for (;;) {
            while (i < n && isSpace(at(i)))
                ++i;
            if (i >= n)
                return {n, false};
            const char16_t c = at(i);
            if (c == '>')
                return {i + 1, true};
            if (c == '<')
                return {i, false};
            if (c == '/') {
                ++i;
                continue;
            }
            const qsizetype nameStart = i;
            while (i < n && !isSpace(at(i)) && at(i) != '=' && at(i) != '>' && at(i) != '<'
                   && at(i) != '/')
                ++i;
            const View<Char> name = view(nameStart, i);
            while (i < n && isSpace(at(i)))
                ++i;
            View<Char> value;
            if (i < n && at(i) == '=') {
                ++i;
                while (i < n && isSpace(at(i)))
                    ++i;
                if (i < n && (at(i) == '"' || at(i) == '\'')) {
                    const char16_t quote = at(i++);
                    const qsizetype start = i;
                    while (i < n && at(i) != quote && at(i) != '\n')
                        ++i;
                    if (i >= n || at(i) != quote)
                        return {i, false};
                    value = view(start, i++);
                } else {
                    const qsizetype start = i;
                    while (i < n && !isSpace(at(i)) && at(i) != '>' && at(i) != '<')
                        ++i;
                    value = view(start, i);
                }
            }
            onAttribute(name, value);
        }
    }

    TagEnd skipAttributes(qsizetype i)
    {
        return attributes(i, [](View<Char>, View<Char>) {});
    }

    // Counts the line of pos as skipped; positions only grow, so lines are counted once.
    void skipped(qsizetype pos)
    {
        for (;;) {
            const qsizetype nl = find('\n', m_lineScan);
            if (nl < 0 || nl >= pos)
                break;
            ++m_line;
            m_lineScan = nl + 1;
        }
        m_lineScan = qMax(m_lineScan, pos);
        if (m_out.skippedLines.isEmpty() || m_out.skippedLines.back() != m_line)
            m_out.skippedLines.append(m_line);
    }

    qsizetype markup(qsizetype lt)
    {
        qsizetype i = lt + 1;
        if (i >= n)
            return n;
        const char16_t c = at(i);
        if (c == '!') {
            if (i + 2 < n && at(i + 1) == '-' && at(i + 2) == '-') {
                for (qsizetype p = i + 3; (p = find('-', p)) >= 0; ++p) {
                    if (p + 2 < n && at(p + 1) == '-' && at(p + 2) == '>')
                        return p + 3;
                }
                return n;
            }
            const qsizetype end = afterTag(lt);
            if (containsNoCase(view(i, end), "netscape-bookmark-file"))
                m_doctype = true;
            return end;
        }
        if (c == '?')
            return afterTag(lt);
        const bool closing = c == '/';
        if (closing)
            ++i;
        const qsizetype nameStart = i;
        while (i < n && isAsciiAlnum(at(i)))
            ++i;
        if (i == nameStart)
            return lt + 1; // a "<" in text
        const Tag tag = tagOf(view(nameStart, i));
        if (closing) {
            if (tag == Tag::DL) {
                if (!m_open.empty())
                    m_open.pop_back();
                m_pending = -1;
                m_lastLink = -1;
            }
            return afterTag(lt);
        }
        switch (tag) {
        case Tag::A: return anchor(lt, i);
        case Tag::H3: return heading(lt, i);
        case Tag::DD: return description(lt, i);
        case Tag::DL: {
            const TagEnd end = skipAttributes(i);
            m_open.push_back(m_pending >= 0 ? m_pending : current());
            m_pending = -1;
            m_lastLink = -1;
            return end.next;
        }
        case Tag::DT:
            m_pending = -1;
            m_lastLink = -1;
            return skipAttributes(i).next;
        case Tag::HR: m_lastLink = -1; return skipAttributes(i).next;
        case Tag::Other: return skipAttributes(i).next;
        }
        return afterTag(lt);
    }

    // The text after a tag up to the next tag, and where reading goes on: after the closing
    // tag named, when that is the next tag.
    std::pair<View<Char>, qsizetype> content(qsizetype from, const char *closing) const
    {
        const qsizetype t = nextTag(from);
        const qsizetype next = closing && t < n && isEndTag(t, closing) ? afterTag(t) : t;
        return {view(from, t), next};
    }

    qsizetype anchor(qsizetype lt, qsizetype i)
    {
        View<Char> href, date, tags;
        bool hasHref = false, hasDate = false, hasTags = false;
        const TagEnd end = attributes(i, [&](View<Char> name, View<Char> value) {
            if (!hasHref && equalsNoCase(name, "href")) {
                hasHref = true;
                href = value;
            } else if (!hasDate && equalsNoCase(name, "add_date")) {
                hasDate = true;
                date = value;
            } else if (!hasTags && equalsNoCase(name, "tags")) {
                hasTags = true;
                tags = value;
            }
        });
        m_pending = -1;
        m_lastLink = -1;
        m_href = m_href || hasHref;
        if (!end.ok) {
            skipped(lt);
            return end.next;
        }
        const auto [title, next] = content(end.next, "a");
        BookmarkLink link;
        link.address = textOf(href);
        if (link.address.isEmpty() || Address::hasControl(link.address)) {
            skipped(lt);
            return next;
        }
        link.folder = current();
        link.position = ++(link.folder < 0 ? m_rootLinks : m_out.folders[link.folder].links);
        link.title = Address::withoutControls(textOf(title));
        link.added = BookmarkFile::secondsOf(numberOf(date));
        link.tags = Address::withoutControls(textOf(tags));
        link.order = int(m_out.links.size());
        m_lastLink = link.order;
        m_out.links.append(std::move(link));
        return next;
    }

    qsizetype heading(qsizetype lt, qsizetype i)
    {
        const TagEnd end = skipAttributes(i);
        m_pending = -1;
        m_lastLink = -1;
        if (!end.ok) {
            skipped(lt);
            return end.next;
        }
        const auto [text, next] = content(end.next, "h3");
        const int parent = current();
        const int depth = parent < 0 ? 0 : m_depth[size_t(parent)];
        if (depth >= BookmarkFile::kMaxDepth) {
            ++m_out.joinedFolders;
            m_pending = parent;
            return next;
        }
        // Keyed by the parent and the name: a path per level would cost the square of the depth.
        const QPair<int, QString> key(parent, Address::withoutControls(textOf(text)));
        const auto known = m_byName.constFind(key);
        if (known != m_byName.constEnd()) {
            m_pending = *known;
            return next;
        }
        m_pending = int(m_out.folders.size());
        m_byName.insert(key, m_pending);
        m_out.folders.append({QString(), parent, 0, 0, key.second});
        m_depth.push_back(depth + 1);
        if (parent >= 0)
            ++m_out.folders[parent].folders;
        return next;
    }

    qsizetype description(qsizetype lt, qsizetype i)
    {
        const TagEnd end = skipAttributes(i);
        if (!end.ok) {
            skipped(lt);
            return end.next;
        }
        const auto [text, next] = content(end.next, nullptr);
        if (m_lastLink >= 0)
            m_out.links[m_lastLink].description = textOf(text);
        m_lastLink = -1;
        return next;
    }

    const Char *d;
    const qsizetype n;
    BookmarkFile &m_out;
    std::vector<int> m_open; // the open lists' folders; -1 the root
    int m_pending = -1; // the folder a heading named, until its list opens
    int m_lastLink = -1; // the link a <DD> right after it describes
    int m_rootLinks = 0;
    QHash<QPair<int, QString>, int> m_byName;
    std::vector<int> m_depth; // of each folder: 1 below the root
    bool m_doctype = false;
    bool m_href = false;
    qsizetype m_lineScan = 0; // newlines before this are counted in m_line
    int m_line = 1;
};

// Reads text into file; false when it is no bookmark file at all.
template<class Char> bool parseText(View<Char> text, BookmarkFile &file)
{
    Parser<Char> parser(text, file);
    parser.run();
    for (qsizetype f = 0; f < file.folders.size(); ++f) {
        BookmarkFolder &folder = file.folders[f];
        if (folder.links > 0 || folder.folders == 0)
            folder.path = file.pathOf(int(f));
    }
    return parser.sawBookmarks();
}

} // namespace

QString BookmarkFile::folderPath(const BookmarkLink &link) const
{
    return link.folder < 0 ? QString() : pathOf(link.folder);
}

QString BookmarkFile::pathOf(int folder) const
{
    QStringList names;
    for (; folder >= 0 && folder < folders.size(); folder = folders[folder].parent)
        names.prepend(GroupTree::nameToPart(folders[folder].name));
    return names.join(u'/');
}

qint64 BookmarkFile::secondsOf(qint64 value)
{
    if (value <= 0)
        return 0;
    // Seconds up to the year 33658; larger values are milliseconds, then microseconds, of
    // dates from 2001 on.
    if (value < 1'000'000'000'000LL)
        return value;
    if (value < 1'000'000'000'000'000LL)
        return value / 1000;
    if (value < 1'000'000'000'000'000'000LL)
        return value / 1'000'000;
    return 0;
}

BookmarkFile BookmarkFile::parse(QByteArrayView bytes)
{
    BookmarkFile file;
    Encoding encoding = byteOrderMark(bytes);
    if (encoding.bom == 0) {
        const QByteArray label = metaCharset(bytes);
        const std::optional<Encoding> named = encodingOf(label);
        if (!named) {
            file.error = mentionsBookmarks(bytes)
                ? Tr::tr("文字ｺｰﾄﾞ %1 には対応していません").arg(QString::fromLatin1(label))
                : notBookmarksText();
            return file;
        }
        encoding = *named;
    }
    const QByteArrayView body = bytes.sliced(encoding.bom);
    auto refuse = [&](int badLine) {
        file.error = mentionsBookmarks(bytes)
            ? (badLine > 0 ? Tr::tr("%1 として読めないﾊﾞｲﾄがあります (%2 行目)")
                                 .arg(encoding.name, QString::number(badLine))
                           : Tr::tr("%1 として読めないﾊﾞｲﾄがあります").arg(encoding.name))
            : notBookmarksText();
        return file;
    };
    file.encoding = encoding.name;
    bool bookmarks;
    if (encoding.converter.isEmpty() && encoding.builtin == QStringConverter::Utf8) {
        // UTF-8 is read in place: checked, then parsed without a decoded copy of the whole.
        const qsizetype bad = firstInvalidUtf8(body);
        if (bad >= 0)
            return refuse(int(body.first(bad).count('\n')) + 1);
        bookmarks = parseText(View<char>(body.data(), size_t(body.size())), file);
    } else {
        QStringDecoder decoder = decoderOf(encoding);
        const QString text = decoder(body);
        if (decoder.hasError())
            return refuse(firstBadLine(body, encoding));
        bookmarks = parseText(
            View<char16_t>(reinterpret_cast<const char16_t *>(text.utf16()), size_t(text.size())),
            file);
    }
    if (!bookmarks) {
        BookmarkFile none;
        none.error = notBookmarksText();
        return none;
    }
    return file;
}

BookmarkFile BookmarkFile::read(const QString &path)
{
    QByteArray bytes;
    BookmarkFile file;
    switch (TextFile::readRegular(path, kMaxBytes, &bytes, &file.error)) {
    case TextFile::ReadResult::Read: return parse(bytes);
    case TextFile::ReadResult::Missing: file.error = TextFile::reasonOf(ENOENT); break;
    case TextFile::ReadResult::Failed: break;
    }
    return file;
}
