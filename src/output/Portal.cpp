#include "Portal.h"

#include "address/Address.h"
#include "output/OutputFile.h"
#include "platform/Cp932.h"

#include <array>
#include <atomic>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace Portal {
namespace {

// "‡" marks a placeholder, "†" a line end.
const QString kHead
    = QStringLiteral("<html>†<head>†"
                     "<meta http-equiv='Content-Type' content='text/html; charset=shift_jis'>†"
                     "<title>My Portal</title>†</head>†"
                     "<body>†");
const QString kGroupStart = QStringLiteral("<p style='font-size:12pt; font-weight:bold'>‡見出‡</p>†"
                                           "<ul>†");
const QString kItem
    = QStringLiteral("  <li style='font-size:10pt; line-height:20px'>"
                     "<a href='‡URL‡'>‡表題‡</a>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; ‡説明‡</li>†");
// An address that is no page, file or FTP (a script) is shown, never linked.
const QString kTextItem = QStringLiteral("  <li style='font-size:10pt; line-height:20px'>"
                                         "‡表題‡&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; ‡説明‡</li>†");
const QString kGroupEnd = QStringLiteral("</ul>†");
const QString kTail = QStringLiteral("</table>†</body>†</html>†");

// Code page 932 bytes of a character of the Basic Multilingual Plane, learnt once per character
// on first use: 0 not known yet, kNone when it does not survive a round trip, 0x01bb for the
// single byte bb, otherwise lead byte << 8 | trail byte.
constexpr quint16 kNone = 0xFFFF;
std::array<std::atomic<quint16>, 0x10000> g_cp932 {};

quint16 cp932Of(char16_t c)
{
    quint16 k = g_cp932[c].load(std::memory_order_relaxed);
    if (k == 0) {
        k = kNone;
        if (Cp932::canEncode(QChar(c))) {
            const QByteArray b = Cp932::encode(QString(QChar(c)));
            if (b.size() == 1)
                k = quint16(0x0100 | quint8(b[0]));
            else if (b.size() == 2)
                k = quint16(quint8(b[0]) << 8 | quint8(b[1]));
        }
        g_cp932[c].store(k, std::memory_order_relaxed);
    }
    return k;
}

// The page goes either into a QString or straight into code page 932 bytes; both get only
// characters the code page holds.
class TextSink
{
public:
    explicit TextSink(qsizetype estimate) { m_out.reserve(estimate); }
    void ascii(const char *s, qsizetype n) { m_out += QLatin1StringView(s, n); }
    void run(const QChar *d, qsizetype n) { m_out.append(d, n); }
    QString take() { return std::move(m_out); }

private:
    QString m_out;
};

class ByteSink
{
public:
    explicit ByteSink(qsizetype estimate) { m_buf.resize(qMax<qsizetype>(estimate, 256)); }
    void ascii(const char *s, qsizetype n)
    {
        std::memcpy(room(n), s, size_t(n));
        m_len += n;
    }
    void run(const QChar *d, qsizetype n)
    {
        char *const start = room(2 * n);
        char *q = start;
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = d[i].unicode();
            if (c < 0x80) {
                *q++ = char(c);
                continue;
            }
            const quint16 b = cp932Of(c);
            if (b < 0x0200) {
                *q++ = char(b & 0xFF);
            } else {
                *q++ = char(b >> 8);
                *q++ = char(b & 0xFF);
            }
        }
        m_len += q - start;
    }
    QByteArray take()
    {
        m_buf.resize(m_len);
        return std::move(m_buf);
    }

private:
    char *room(qsizetype n)
    {
        if (m_len + n > m_buf.size())
            m_buf.resize(qMax(m_buf.size() * 2, m_len + n));
        return m_buf.data() + m_len;
    }
    QByteArray m_buf;
    qsizetype m_len = 0;
};

template<class Sink> void appendReference(Sink &out, char32_t cp)
{
    char buf[16] = {'&', '#', 'x'};
    int n = 3;
    bool started = false;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const unsigned digit = (cp >> shift) & 0xF;
        if (digit || started || shift == 0) {
            buf[n++] = "0123456789ABCDEF"[digit];
            started = true;
        }
    }
    buf[n++] = ';';
    out.ascii(buf, n);
}

template<class Sink> void appendEscaped(Sink &out, QStringView value)
{
    const qsizetype n = value.size();
    const QChar *d = value.data();
    qsizetype runStart = 0; // characters that go out as they are, in runs
    auto flush = [&](qsizetype upTo) {
        if (upTo > runStart)
            out.run(d + runStart, upTo - runStart);
    };
    auto replace = [&](qsizetype i, const char *rep, qsizetype len) {
        flush(i);
        out.ascii(rep, len);
        runStart = i + 1;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c < 0x80) {
            // Control characters other than the line breaks and tabs never reach the page.
            if ((c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0x7F) {
                flush(i);
                appendReference(out, 0xFFFD);
                runStart = i + 1;
                continue;
            }
            switch (c) {
            case u'&': replace(i, "&amp;", 5); break;
            case u'<': replace(i, "&lt;", 4); break;
            case u'>': replace(i, "&gt;", 4); break;
            case u'"': replace(i, "&quot;", 6); break;
            case u'\'': replace(i, "&#39;", 5); break;
            default: break;
            }
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(d[i + 1].unicode())) {
            flush(i);
            appendReference(out, QChar::surrogateToUcs4(c, d[i + 1].unicode()));
            ++i;
            runStart = i + 1;
        } else if (QChar::isSurrogate(c)) { // a lone half of a pair is no character
            flush(i);
            appendReference(out, 0xFFFD);
            runStart = i + 1;
        } else if (cp932Of(c) == kNone) {
            flush(i);
            appendReference(out, c);
            runStart = i + 1;
        }
    }
    flush(n);
}

// An address as a link target: percent-encoded as UTF-8, as the browser itself sends it, so a
// Shift-JIS page never makes it request another address; HTML-escaped on top.
template<class Sink> void appendHref(Sink &out, QStringView value)
{
    const QByteArray utf8 = value.toUtf8();
    char buf[4] = {'%'};
    for (const char ch : utf8) {
        const auto b = quint8(ch);
        if (b > 0x20 && b < 0x7F && !strchr("\"<>\\^`{|}'&", ch)) {
            out.ascii(&ch, 1);
        } else if (ch == '&') {
            out.ascii("&amp;", 5);
        } else if (ch == '\'') {
            out.ascii("&#39;", 5);
        } else {
            buf[1] = "0123456789ABCDEF"[b >> 4];
            buf[2] = "0123456789ABCDEF"[b & 0xF];
            out.ascii(buf, 3);
        }
    }
}

// A template cut once into literal pieces and placeholders. Values are appended in place of
// the placeholders, so a value that happens to contain "‡…‡" or "†" is never touched.
class Template
{
public:
    // fields: the placeholder names in the order of the values given to append(); the field
    // at hrefField is a link target.
    Template(const QString &text, const QStringList &fields, int hrefField = -1)
        : m_hrefField(hrefField)
    {
        QString literal;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c == u'†') {
                literal += QStringLiteral("\r\n");
            } else if (c == u'‡') {
                const qsizetype end = text.indexOf(u'‡', i + 1);
                Q_ASSERT(end > i);
                const qsizetype field = fields.indexOf(text.mid(i + 1, end - i - 1));
                Q_ASSERT(field >= 0);
                m_parts.push_back({toAscii(literal), int(field)});
                literal.clear();
                i = end;
            } else {
                literal += c;
            }
        }
        m_rest = toAscii(literal);
    }

    template<class Sink>
    void append(Sink &out, std::initializer_list<const QString *> values = {}) const
    {
        for (const Part &p : m_parts) {
            out.ascii(p.literal.constData(), p.literal.size());
            if (p.field == m_hrefField)
                appendHref(out, *values.begin()[p.field]);
            else
                appendEscaped(out, *values.begin()[p.field]);
        }
        out.ascii(m_rest.constData(), m_rest.size());
    }

    qsizetype literalSize() const
    {
        qsizetype n = m_rest.size();
        for (const Part &p : m_parts)
            n += p.literal.size();
        return n;
    }

private:
    static QByteArray toAscii(const QString &s)
    {
        for (QChar c : s)
            Q_ASSERT(c.unicode() < 0x80);
        return s.toLatin1();
    }
    struct Part
    {
        QByteArray literal;
        int field;
    };
    std::vector<Part> m_parts;
    QByteArray m_rest;
    int m_hrefField = -1;
};

struct Templates
{
    Template head {kHead, {}};
    Template groupStart {kGroupStart, {QStringLiteral("見出")}};
    Template item {
        kItem, {QStringLiteral("URL"), QStringLiteral("表題"), QStringLiteral("説明")}, 0};
    Template textItem {kTextItem, {QStringLiteral("表題"), QStringLiteral("説明")}};
    Template groupEnd {kGroupEnd, {}};
    Template tail {kTail, {}};
};

const Templates &templates()
{
    static const Templates t;
    return t;
}

qsizetype estimatedSize(const QList<ListRow> &rows)
{
    const Templates &t = templates();
    qsizetype n = t.head.literalSize() + t.tail.literalSize();
    for (const ListRow &r : rows)
        n += t.item.literalSize() + r.sURL.size() + r.sNam.size() + r.sMem.size() + 8;
    return n + n / 8;
}

template<class Sink> void buildPage(Sink &out, const QList<ListRow> &rows)
{
    const Templates &t = templates();
    t.head.append(out);
    bool open = false;
    const QString *last = nullptr;
    for (const ListRow &r : rows) {
        // The first row always opens a heading, even for an empty group name.
        if (!last || r.sGrp != *last) {
            if (open)
                t.groupEnd.append(out);
            t.groupStart.append(out, {&r.sGrp});
            last = &r.sGrp;
        }
        // A link without a title shows its address, so that it can still be seen and clicked.
        const QString *shown = r.sNam.isEmpty() ? &r.sURL : &r.sNam;
        if (Address::isOpenable(r.sURL))
            t.item.append(out, {&r.sURL, shown, &r.sMem});
        else
            t.textItem.append(out, {shown, &r.sMem});
        open = true;
    }
    if (open)
        t.groupEnd.append(out);
    t.tail.append(out);
}

} // namespace

QString escape(QStringView value)
{
    TextSink out(value.size());
    appendEscaped(out, value);
    return out.take();
}

QString pageText(const QList<ListRow> &rows)
{
    TextSink out(estimatedSize(rows));
    buildPage(out, rows);
    return out.take();
}

QByteArray pageBytes(const QList<ListRow> &rows)
{
    ByteSink out(estimatedSize(rows) * 5 / 4);
    buildPage(out, rows);
    return out.take();
}

QString make(const QList<ListRow> &rows, const QString &groupText, const QString &dataPh)
{
    const QString path = OutputFile::AskFile(true, groupText, dataPh);
    if (path.isEmpty())
        return QString();
    if (!OutputFile::SaveBytes(path, pageBytes(rows)))
        return QString();
    return path;
}

} // namespace Portal
