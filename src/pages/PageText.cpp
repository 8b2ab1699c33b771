#include "PageText.h"

#include "pages/PageArchive.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace PageText {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(PageText)
};

// A header's parameter ("charset", "boundary"), quoted or not.
QByteArray parameter(const QByteArray &header, const QByteArray &name)
{
    const QByteArray lower = header.toLower();
    qsizetype at = 0;
    const QByteArray key = name + '=';
    while ((at = lower.indexOf(key, at)) >= 0) {
        if (at > 0
            && (std::isalnum(static_cast<unsigned char>(lower.at(at - 1)))
                || lower.at(at - 1) == '-')) {
            at += name.size();
            continue;
        }
        qsizetype start = at + name.size() + 1;
        if (start < header.size() && header.at(start) == '"') {
            const qsizetype end = header.indexOf('"', start + 1);
            return header.mid(start + 1, end < 0 ? -1 : end - start - 1);
        }
        qsizetype end = start;
        while (end < header.size() && !QByteArrayView(";\r\n \t").contains(header.at(end)))
            ++end;
        return header.mid(start, end - start);
    }
    return {};
}

// The value of one header field in a block of headers, continuation lines joined.
QByteArray field(const QByteArray &headers, const QByteArray &name)
{
    QByteArray out;
    bool in = false;
    for (const QByteArray &line : headers.split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if (in && !l.isEmpty() && (l.at(0) == ' ' || l.at(0) == '\t')) {
            out += ' ' + l.trimmed();
            continue;
        }
        in = false;
        if (l.size() > name.size() && l.at(name.size()) == ':'
            && l.first(name.size()).compare(name, Qt::CaseInsensitive) == 0) {
            out = l.mid(name.size() + 1).trimmed();
            in = true;
        }
    }
    return out;
}

// Splits "headers CRLF CRLF body".
void splitPart(const QByteArray &part, QByteArray *headers, QByteArray *body)
{
    qsizetype end = part.indexOf("\r\n\r\n");
    qsizetype skip = 4;
    const qsizetype lf = part.indexOf("\n\n");
    if (end < 0 || (lf >= 0 && lf < end)) {
        end = lf;
        skip = 2;
    }
    if (end < 0) {
        *headers = part;
        body->clear();
        return;
    }
    *headers = part.first(end);
    *body = part.mid(end + skip);
}

QByteArray quotedPrintable(const QByteArray &in)
{
    QByteArray out;
    out.reserve(in.size());
    auto hex = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c != '=') {
            out += c;
            continue;
        }
        if (i + 1 < in.size() && in.at(i + 1) == '\n') { // soft line break
            i += 1;
        } else if (i + 2 < in.size() && in.at(i + 1) == '\r' && in.at(i + 2) == '\n') {
            i += 2;
        } else if (i + 2 < in.size() && hex(in.at(i + 1)) >= 0 && hex(in.at(i + 2)) >= 0) {
            out += char(hex(in.at(i + 1)) * 16 + hex(in.at(i + 2)));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

const QHash<QByteArray, char16_t> &namedEntities()
{
    static const QHash<QByteArray, char16_t> names = {
        {"amp", u'&'},         {"lt", u'<'},          {"gt", u'>'},          {"quot", u'"'},
        {"apos", u'\''},       {"nbsp", u'\u00A0'},   {"copy", u'\u00A9'},   {"reg", u'\u00AE'},
        {"trade", u'\u2122'},  {"hellip", u'\u2026'}, {"mdash", u'\u2014'},  {"ndash", u'\u2013'},
        {"laquo", u'\u00AB'},  {"raquo", u'\u00BB'},  {"lsquo", u'\u2018'},  {"rsquo", u'\u2019'},
        {"ldquo", u'\u201C'},  {"rdquo", u'\u201D'},  {"yen", u'\u00A5'},    {"euro", u'\u20AC'},
        {"middot", u'\u00B7'}, {"bull", u'\u2022'},   {"times", u'\u00D7'},  {"divide", u'\u00F7'},
        {"deg", u'\u00B0'},    {"sect", u'\u00A7'},   {"para", u'\u00B6'},   {"shy", u'\u00AD'},
        {"ensp", u'\u2002'},   {"emsp", u'\u2003'},   {"thinsp", u'\u2009'}, {"larr", u'\u2190'},
        {"rarr", u'\u2192'},   {"uarr", u'\u2191'},   {"darr", u'\u2193'},   {"iexcl", u'\u00A1'},
        {"iquest", u'\u00BF'}, {"cent", u'\u00A2'},   {"pound", u'\u00A3'},  {"plusmn", u'\u00B1'},
    };
    return names;
}

// Appends the entity at text[i] ('&'); returns the index after it, or i + 1 with '&' when it
// is none.
qsizetype entity(QStringView text, qsizetype i, QString &out)
{
    qsizetype end = i + 1;
    while (end < text.size() && end - i <= 32 && text.at(end) != u';' && text.at(end) != u'&'
           && !text.at(end).isSpace() && text.at(end) != u'<')
        ++end;
    const bool closed = end < text.size() && text.at(end) == u';';
    const QStringView name = text.sliced(i + 1, end - i - 1);
    if (name.startsWith(u'#') && name.size() > 1) {
        bool ok = false;
        const uint code = name.at(1) == u'x' || name.at(1) == u'X' ? name.sliced(2).toUInt(&ok, 16)
                                                                   : name.sliced(1).toUInt(&ok, 10);
        if (ok) {
            if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                out += QChar(0xFFFD);
            else
                out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
            return closed ? end + 1 : end;
        }
    } else {
        const auto found = namedEntities().constFind(name.toLatin1());
        if (found != namedEntities().constEnd()) {
            out += QChar(*found);
            return closed ? end + 1 : end;
        }
    }
    out += u'&';
    return i + 1;
}

bool blockTag(QStringView name)
{
    static const QStringList blocks
        = {u"p"_s,   u"br"_s, u"div"_s,     u"li"_s,      u"tr"_s,     u"td"_s,     u"th"_s,
           u"h1"_s,  u"h2"_s, u"h3"_s,      u"h4"_s,      u"h5"_s,     u"h6"_s,     u"title"_s,
           u"dt"_s,  u"dd"_s, u"section"_s, u"article"_s, u"header"_s, u"footer"_s, u"blockquote"_s,
           u"pre"_s, u"hr"_s, u"option"_s,  u"table"_s,   u"ul"_s,     u"ol"_s,     u"nav"_s};
    for (const QString &b : blocks) {
        if (name.compare(b, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The markup's text: tags and comments out, the insides of script, style and the like out,
// blocks apart, runs of white space as one space.
QString textOf(QStringView html)
{
    QString raw;
    raw.reserve(html.size() / 2);
    qsizetype i = 0;
    const qsizetype n = html.size();
    while (i < n) {
        const QChar c = html.at(i);
        if (c == u'&') {
            i = entity(html, i, raw);
            continue;
        }
        if (c != u'<') {
            raw += c;
            ++i;
            continue;
        }
        if (html.sliced(i).startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(u"-->", i + 4);
            i = end < 0 ? n : end + 3;
            continue;
        }
        qsizetype j = i + 1;
        const bool closing = j < n && html.at(j) == u'/';
        if (closing)
            ++j;
        const qsizetype nameStart = j;
        while (j < n && (html.at(j).isLetterOrNumber() || html.at(j) == u'-' || html.at(j) == u'!'))
            ++j;
        const QStringView name = html.sliced(nameStart, j - nameStart);
        if (name.isEmpty() && !closing) { // a lone "<" is text
            raw += c;
            ++i;
            continue;
        }
        // The tag's end, past quoted attribute values.
        QChar quote;
        while (j < n) {
            const QChar d = html.at(j);
            if (!quote.isNull()) {
                if (d == quote)
                    quote = QChar();
            } else if (d == u'"' || d == u'\'') {
                quote = d;
            } else if (d == u'>') {
                break;
            }
            ++j;
        }
        i = j < n ? j + 1 : n;
        if (blockTag(name))
            raw += u'\n';
        else
            raw += QChar(0x200B); // inline tags join words without a space
        static const QString skipped[]
            = {u"script"_s, u"style"_s, u"noscript"_s, u"template"_s, u"svg"_s, u"head"_s};
        if (closing)
            continue;
        for (const QString &s : skipped) {
            if (name.compare(s, Qt::CaseInsensitive) != 0)
                continue;
            // A head keeps its title: only what lies after the title's end is skipped.
            const QString end = u"</"_s + s;
            qsizetype at = i;
            while ((at = html.indexOf(end, at, Qt::CaseInsensitive)) >= 0) {
                const qsizetype after = at + end.size();
                if (after >= n || !html.at(after).isLetterOrNumber())
                    break;
                at = after;
            }
            if (s == u"head") {
                const qsizetype title = html.indexOf(u"<title", i, Qt::CaseInsensitive);
                const qsizetype titleEnd = html.indexOf(u"</title", i, Qt::CaseInsensitive);
                if (title >= 0 && titleEnd > title && (at < 0 || titleEnd < at)) {
                    const qsizetype open = html.indexOf(u'>', title);
                    if (open >= 0 && open < titleEnd)
                        raw += textOf(html.sliced(open + 1, titleEnd - open - 1)) + u'\n';
                }
            }
            i = at < 0 ? n : at;
            break;
        }
    }
    // White space collapsed; the joiners of inline tags go.
    QString out;
    out.reserve(raw.size());
    bool space = false;
    for (const QChar ch : std::as_const(raw)) {
        if (ch.unicode() == 0x200B)
            continue;
        if (ch.isSpace()) {
            space = true;
            continue;
        }
        if (space && !out.isEmpty())
            out += u' ';
        space = false;
        out += ch;
    }
    return out;
}

QString decode(const QByteArray &bytes, QByteArray charset)
{
    charset = charset.trimmed().toLower();
    if (charset == "x-sjis" || charset == "sjis" || charset == "shift-jis")
        charset = "Shift_JIS";
    if (charset == "cp932" || charset == "ms932")
        charset = "windows-31j";
    if (charset.isEmpty())
        charset = "utf-8";
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringDecoder::Utf8);
    return decoder(bytes);
}

// The charset a page's own meta tag names.
QByteArray metaCharset(const QByteArray &html)
{
    const QByteArray head = html.first(qMin<qsizetype>(html.size(), 4096)).toLower();
    qsizetype at = 0;
    while ((at = head.indexOf("<meta", at)) >= 0) {
        const qsizetype end = head.indexOf('>', at);
        const QByteArray tag = head.mid(at, end < 0 ? -1 : end - at);
        const QByteArray cs = parameter(tag, "charset");
        if (!cs.isEmpty())
            return cs;
        at += 5;
    }
    return {};
}

} // namespace

QString ofHtml(const QByteArray &html, const QByteArray &charset)
{
    const QByteArray cs = charset.isEmpty() ? metaCharset(html) : charset;
    return textOf(decode(html, cs));
}

QString ofMhtml(const QByteArray &mhtml, bool *ok)
{
    if (ok)
        *ok = false;
    QByteArray headers, body;
    splitPart(mhtml, &headers, &body);
    const QByteArray type = field(headers, "Content-Type");
    QList<QByteArray> parts;
    const QByteArray boundary = parameter(type, "boundary");
    if (type.toLower().startsWith("multipart/") && !boundary.isEmpty()) {
        const QByteArray mark = "--" + boundary;
        qsizetype at = body.indexOf(mark);
        while (at >= 0) {
            qsizetype start = at + mark.size();
            if (body.mid(start, 2) == "--")
                break;
            const qsizetype next = body.indexOf(mark, start);
            while (start < body.size() && (body.at(start) == '\r' || body.at(start) == '\n'))
                ++start;
            parts.append(body.mid(start, next < 0 ? -1 : next - start));
            at = next;
        }
    } else {
        parts.append(mhtml);
    }
    for (const QByteArray &part : std::as_const(parts)) {
        QByteArray h, b;
        splitPart(part, &h, &b);
        const QByteArray partType = field(h, "Content-Type");
        if (!partType.toLower().startsWith("text/html"))
            continue;
        const QByteArray encoding = field(h, "Content-Transfer-Encoding").toLower();
        if (encoding == "quoted-printable")
            b = quotedPrintable(b);
        else if (encoding == "base64")
            b = QByteArray::fromBase64(b);
        if (ok)
            *ok = true;
        return ofHtml(b, parameter(partType, "charset"));
    }
    return {};
}

bool ofFile(const QString &path, QString *text, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = Tr::tr("%1 が読めません: %2").arg(path, f.errorString());
        return false;
    }
    // A page sent from another browser is one HTML file.
    const bool html = path.endsWith(QStringLiteral(".html"), Qt::CaseInsensitive);
    if (f.size() > (html ? PageArchive::kMaxHtmlBytes : PageArchive::kMaxBytes)) {
        *error = Tr::tr("%1 が読めません: %2").arg(path, Tr::tr("ﾌｧｲﾙが大きすぎます"));
        return false;
    }
    if (html) {
        *text = ofHtml(f.readAll());
        return true;
    }
    bool ok = false;
    *text = ofMhtml(f.readAll(), &ok);
    if (!ok)
        *error = Tr::tr("%1 が読めません: %2").arg(path, Tr::tr("ﾍﾟｰｼﾞがありません"));
    return ok;
}

} // namespace PageText
