#include "BookmarkExport.h"

#include "bookmarks/XbelFile.h"
#include "platform/NoCase.h"
#include "store/GroupTree.h"

#include <QDateTime>
#include <QIODevice>
#include <QXmlStreamWriter>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace BookmarkExport {
namespace {

const char kHead[] = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                     "<!-- This is an automatically generated file.\n"
                     "     It will be read and overwritten.\n"
                     "     DO NOT EDIT! -->\n"
                     "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                     "<TITLE>Bookmarks</TITLE>\n"
                     "<H1>Bookmarks</H1>\n"
                     "<DL><p>\n";
const char kTail[] = "</DL><p>\n";
const char kXbelDoctype[] = "<!DOCTYPE xbel PUBLIC \"+//IDN python.org//DTD XML Bookmark Exchange "
                            "Language 1.0//EN//XML\" "
                            "\"http://pyxml.sourceforge.net/topics/dtds/xbel.dtd\">";

// The white space a reader trims from a value's ends.
bool isTrimmed(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The reference an ASCII character is written as: & < > " ' and line breaks wherever they
// stand, the other white space only at a value's ends; empty when it is written as it is.
constexpr QByteArrayView referenceOf(char16_t c, bool atEnd)
{
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&#39;";
    case '\r': return "&#13;";
    case '\n': return "&#10;";
    case '\t': return atEnd ? "&#9;" : QByteArrayView();
    case ' ': return atEnd ? "&#32;" : QByteArrayView();
    case '\f': return atEnd ? "&#12;" : QByteArrayView();
    default: return {};
    }
}

// Room for a value written in place: no unit of it takes more than six bytes ("&quot;").
struct InPlace
{
    InPlace(QByteArray &into, qsizetype units)
        : out(into)
        , start(into.size())
    {
        if (start + 6 * units > out.capacity())
            out.reserve(qMax(start + 6 * units, 2 * out.capacity()));
        out.resize(start + 6 * units);
        q = out.data() + start;
    }
    void put(const char *s, qsizetype n)
    {
        std::memcpy(q, s, size_t(n));
        q += n;
    }
    void put(QByteArrayView s) { put(s.data(), s.size()); }
    void done() { out.resize(q - out.constData()); }
    void undo() { out.resize(start); }

    QByteArray &out;
    const qsizetype start;
    char *q = nullptr;
};

// Appends a value in UTF-8 with & < > " ' escaped, line breaks and the white space at its ends
// as numeric references (a reader turns a line break into a space and trims the ends), and a
// lone surrogate, which UTF-8 cannot hold, as U+FFFD.
void appendEscaped(QByteArray &out, QStringView v)
{
    qsizetype first = 0, last = v.size();
    while (first < last && isTrimmed(v[first].unicode()))
        ++first;
    while (last > first && isTrimmed(v[last - 1].unicode()))
        --last;
    InPlace place(out, v.size());
    for (qsizetype i = 0; i < v.size(); ++i) {
        const char16_t c = v[i].unicode();
        if (c < 0x80) {
            if (const QByteArrayView r = referenceOf(c, i < first || i >= last); !r.isEmpty()) {
                place.put(r);
                continue;
            }
            *place.q++ = char(c);
        } else if (c < 0x800) {
            *place.q++ = char(0xC0 | (c >> 6));
            *place.q++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && i + 1 < v.size() && v[i + 1].isLowSurrogate()) {
            const char32_t u = QChar::surrogateToUcs4(c, v[++i].unicode());
            *place.q++ = char(0xF0 | (u >> 18));
            *place.q++ = char(0x80 | ((u >> 12) & 0x3F));
            *place.q++ = char(0x80 | ((u >> 6) & 0x3F));
            *place.q++ = char(0x80 | (u & 0x3F));
        } else {
            const char16_t w = QChar::isSurrogate(c) ? char16_t(0xFFFD) : c;
            *place.q++ = char(0xE0 | (w >> 12));
            *place.q++ = char(0x80 | ((w >> 6) & 0x3F));
            *place.q++ = char(0x80 | (w & 0x3F));
        }
    }
    place.done();
}

// The length of the UTF-8 sequence that starts at p (before end), or 0 when it is not one
// QString would read as it stands: overlong forms, surrogates and code points past U+10FFFF are
// read as U+FFFD.
int sequenceAt(const unsigned char *p, const unsigned char *end)
{
    const unsigned char c = *p;
    auto cont = [&](int i, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
        return p + i < end && p[i] >= lo && p[i] <= hi;
    };
    if (c >= 0xC2 && c <= 0xDF)
        return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const bool second = c == 0xE0 ? cont(1, 0xA0) : c == 0xED ? cont(1, 0x80, 0x9F) : cont(1);
        return second && cont(2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const bool second = c == 0xF0 ? cont(1, 0x90) : c == 0xF4 ? cont(1, 0x80, 0x8F) : cont(1);
        return second && cont(2) && cont(3) ? 4 : 0;
    }
    return 0;
}

// The ASCII bytes escaped wherever they stand.
constexpr auto kEscaped = [] {
    std::array<bool, 128> e {};
    for (char16_t c = 0; c < 128; ++c)
        e[c] = !referenceOf(c, false).isEmpty();
    return e;
}();

// The same escaping straight from UTF-8, the export's own form: no QString per value. A value
// that is not well-formed UTF-8 (or starts with a byte order mark) takes the QString way, so
// the file is the same either way.
void appendEscaped(QByteArray &out, QByteArrayView v)
{
    const auto *s = reinterpret_cast<const unsigned char *>(v.data());
    const auto *end = s + v.size();
    if (v.startsWith("\xEF\xBB\xBF"))
        return appendEscaped(out, QString::fromUtf8(v));
    const unsigned char *first = s, *last = end;
    while (first < last && isTrimmed(*first))
        ++first;
    while (last > first && isTrimmed(last[-1]))
        --last;
    InPlace place(out, v.size());
    // The white space at the ends, all of it as references.
    auto putEnd = [&](const unsigned char *from, const unsigned char *to) {
        for (; from < to; ++from)
            place.put(referenceOf(*from, true));
    };
    putEnd(s, first);
    for (const unsigned char *p = first; p < last;) {
        // A run of bytes written as they are.
        const unsigned char *run = p;
        while (p < last && *p < 0x80 && !kEscaped[*p])
            ++p;
        place.put(reinterpret_cast<const char *>(run), p - run);
        if (p == last)
            break;
        const unsigned char c = *p;
        if (c >= 0x80) {
            const int n = sequenceAt(p, end);
            if (n == 0) {
                place.undo();
                return appendEscaped(out, QString::fromUtf8(v));
            }
            place.put(reinterpret_cast<const char *>(p), n);
            p += n;
            continue;
        }
        ++p;
        place.put(referenceOf(c, false));
    }
    putEnd(last, end);
    place.done();
}

void appendValue(QByteArray &out, const Text &v)
{
    if (v.isUtf8)
        appendEscaped(out, v.utf8);
    else
        appendEscaped(out, v.text);
}

// Chars XML 1.0 cannot hold (controls but TAB and line breaks, lone surrogates, U+FFFE and
// U+FFFF) as U+FFFD, so that the file stays well-formed.
QString xmlSafe(QStringView v)
{
    QString out;
    for (qsizetype i = 0; i < v.size(); ++i) {
        const char16_t c = v[i].unicode();
        bool bad = (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF;
        if (QChar::isHighSurrogate(c) && i + 1 < v.size() && v[i + 1].isLowSurrogate()) {
            if (!out.isNull())
                out.append(v.sliced(i, 2));
            ++i;
            continue;
        }
        bad = bad || QChar::isSurrogate(c);
        if (bad && out.isNull())
            out = v.first(i).toString();
        if (!out.isNull())
            out.append(bad ? QChar(0xFFFD) : QChar(c));
    }
    return out.isNull() ? v.toString() : out;
}

QString xmlSafe(const Text &v)
{
    return v.isUtf8 ? xmlSafe(QStringView(QString::fromUtf8(v.utf8))) : xmlSafe(v.text);
}

// Hands what the XML writer writes to the file's buffer.
class Appender : public QIODevice
{
public:
    explicit Appender(QByteArray &out)
        : m_out(out)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 len) override
    {
        m_out.append(data, len);
        return len;
    }

private:
    QByteArray &m_out;
};

} // namespace

bool write(const QList<GroupRecord> &groups, const ReadFn &read, const SinkFn &sink, Format format)
{
    const GroupTree tree(groups);
    const std::vector<GroupTree::Node> &nodes = tree.nodes();

    constexpr qsizetype kFlushAt = 1 << 20;
    QByteArray out;
    out.reserve(kFlushAt + 4096);
    bool sinking = true;
    auto flush = [&] {
        if (sinking && !out.isEmpty())
            sinking = sink(out);
        out.clear();
        return sinking;
    };
    const bool xbel = format == Format::Xbel;
    Appender device(out);
    QXmlStreamWriter xml(&device);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    if (xbel) {
        xml.writeStartDocument();
        xml.writeDTD(QLatin1String(kXbelDoctype));
        xml.writeStartElement(QLatin1String("xbel"));
        xml.writeAttribute(QLatin1String("version"), QLatin1String("1.0"));
    } else {
        out.append(kHead);
    }
    auto indent = [&](int depth) { out.append(4 * depth, ' '); };
    auto netscapeLink = [&](const Link &l, int depth) {
        indent(depth);
        out.append("<DT><A HREF=\"");
        appendValue(out, l.sURL);
        if (l.added > 0) {
            out.append("\" ADD_DATE=\"");
            out.append(QByteArray::number(l.added));
        }
        if (!l.tags.isEmpty()) {
            out.append("\" TAGS=\"");
            appendValue(out, l.tags);
        }
        out.append("\">");
        appendValue(out, l.sNam);
        out.append("</A>\n");
        if (!l.sMem.isEmpty()) {
            indent(depth);
            out.append("<DD>");
            appendValue(out, l.sMem);
            out.append('\n');
        }
    };
    auto xbelLink = [&](const Link &l) {
        xml.writeStartElement(QLatin1String("bookmark"));
        xml.writeAttribute(QLatin1String("href"), xmlSafe(l.sURL));
        if (l.added > 0)
            xml.writeAttribute(
                QLatin1String("added"),
                QDateTime::fromSecsSinceEpoch(l.added, Qt::UTC).toString(Qt::ISODate));
        xml.writeTextElement(QLatin1String("title"), xmlSafe(l.sNam));
        // XBEL has no tags; metadata of the program's own is what other readers pass over.
        if (!l.tags.isEmpty()) {
            xml.writeStartElement(QLatin1String("info"));
            xml.writeEmptyElement(QLatin1String("metadata"));
            xml.writeAttribute(QLatin1String("owner"), QLatin1String(XbelFile::kTagsOwner));
            xml.writeAttribute(QLatin1String("tags"), xmlSafe(l.tags));
            xml.writeEndElement();
        }
        if (!l.sMem.isEmpty())
            xml.writeTextElement(QLatin1String("desc"), xmlSafe(l.sMem));
        xml.writeEndElement();
    };
    auto writeLinks = [&](std::optional<qint64> nGrp, int depth) {
        return read(nGrp,
                    [&](const Link &l) {
                        if (!sinking)
                            return;
                        if (xbel)
                            xbelLink(l);
                        else
                            netscapeLink(l, depth);
                        if (out.size() >= kFlushAt)
                            flush();
                    })
            && sinking;
    };
    auto openFolder = [&](const QString &part, int depth) {
        const QString name = GroupTree::split(part).constFirst();
        if (xbel) {
            xml.writeStartElement(QLatin1String("folder"));
            xml.writeTextElement(QLatin1String("title"), xmlSafe(QStringView(name)));
            return;
        }
        indent(depth);
        out.append("<DT><H3>");
        appendEscaped(out, name);
        out.append("</H3>\n");
        indent(depth);
        out.append("<DL><p>\n");
    };
    auto closeFolder = [&](int depth) {
        if (xbel) {
            xml.writeEndElement();
            return;
        }
        indent(depth);
        out.append("</DL><p>\n");
    };

    // The folders in tree order: each one's links before the folders below it.
    if (!writeLinks(std::nullopt, 1))
        return false;
    std::vector<int> open;
    for (size_t i = 0; i < nodes.size(); ++i) {
        while (!open.empty() && int(i) >= nodes[size_t(open.back())].end) {
            open.pop_back();
            closeFolder(int(open.size()) + 1);
        }
        const int depth = int(open.size()) + 1;
        openFolder(nodes[i].name, depth);
        for (const qint64 g : nodes[i].groups) {
            if (!writeLinks(g, depth + 1))
                return false;
        }
        open.push_back(int(i));
    }
    while (!open.empty()) {
        open.pop_back();
        closeFolder(int(open.size()) + 1);
    }
    if (xbel) {
        xml.writeEndDocument();
    } else {
        out.append(kTail);
    }
    return flush();
}

QByteArray bytes(const QList<GroupRecord> &groups, const QList<LinkRecord> &links,
                 const QHash<qint64, qint64> &added, Format format)
{
    // Each group's links in list order; links of group 0 or of no listed group go to the root.
    QHash<qint64, std::vector<int>> byGroup;
    for (const GroupRecord &g : groups) {
        if (g.nGrp != 0)
            byGroup.insert(g.nGrp, {});
    }
    std::vector<int> root;
    for (qsizetype i = 0; i < links.size(); ++i) {
        const auto it = links[i].nGrp != 0 ? byGroup.find(links[i].nGrp) : byGroup.end();
        (it != byGroup.end() ? *it : root).push_back(int(i));
    }
    auto inListOrder = [&](std::vector<int> &v) {
        std::sort(v.begin(), v.end(), [&](int a, int b) {
            const LinkRecord &x = links[a], &y = links[b];
            if (x.gSrt != y.gSrt)
                return x.gSrt < y.gSrt;
            const int c = NoCase::compare(x.sNam, y.sNam);
            return c != 0 ? c < 0 : x.nURL < y.nURL;
        });
    };
    inListOrder(root);
    for (std::vector<int> &v : byGroup)
        inListOrder(v);
    QByteArray out;
    write(
        groups,
        [&](std::optional<qint64> nGrp, const LinkFn &each) {
            const std::vector<int> &v = nGrp ? byGroup[*nGrp] : root;
            for (const int i : v) {
                const LinkRecord &l = links[i];
                each({l.nURL, l.sURL, l.sNam, l.sMem, added.value(l.nURL), {}});
            }
            return true;
        },
        [&](QByteArrayView b) {
            out.append(b);
            return true;
        },
        format);
    return out;
}

} // namespace BookmarkExport
