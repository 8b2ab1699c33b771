#include "BookmarkExport.h"

#include "platform/NoCase.h"

#include <algorithm>
#include <climits>
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

// The white space a reader trims from a value's ends.
bool isTrimmed(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

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
    // Written in place: no unit takes more than six bytes ("&quot;").
    const qsizetype start = out.size();
    if (start + 6 * v.size() > out.capacity())
        out.reserve(qMax(start + 6 * v.size(), 2 * out.capacity()));
    out.resize(start + 6 * v.size());
    char *q = out.data() + start;
    auto put = [&q](const char *s, qsizetype n) {
        std::memcpy(q, s, size_t(n));
        q += n;
    };
    for (qsizetype i = 0; i < v.size(); ++i) {
        const char16_t c = v[i].unicode();
        if (c < 0x80) {
            switch (c) {
            case '&': put("&amp;", 5); continue;
            case '<': put("&lt;", 4); continue;
            case '>': put("&gt;", 4); continue;
            case '"': put("&quot;", 6); continue;
            case '\'': put("&#39;", 5); continue;
            case '\r': put("&#13;", 5); continue;
            case '\n': put("&#10;", 5); continue;
            case '\t':
                if (i < first || i >= last) {
                    put("&#9;", 4);
                    continue;
                }
                break;
            case ' ':
                if (i < first || i >= last) {
                    put("&#32;", 5);
                    continue;
                }
                break;
            case '\f':
                if (i < first || i >= last) {
                    put("&#12;", 5);
                    continue;
                }
                break;
            default: break;
            }
            *q++ = char(c);
        } else if (c < 0x800) {
            *q++ = char(0xC0 | (c >> 6));
            *q++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && i + 1 < v.size() && v[i + 1].isLowSurrogate()) {
            const char32_t u = QChar::surrogateToUcs4(c, v[++i].unicode());
            *q++ = char(0xF0 | (u >> 18));
            *q++ = char(0x80 | ((u >> 12) & 0x3F));
            *q++ = char(0x80 | ((u >> 6) & 0x3F));
            *q++ = char(0x80 | (u & 0x3F));
        } else {
            const char16_t w = QChar::isSurrogate(c) ? char16_t(0xFFFD) : c;
            *q++ = char(0xE0 | (w >> 12));
            *q++ = char(0x80 | ((w >> 6) & 0x3F));
            *q++ = char(0x80 | (w & 0x3F));
        }
    }
    out.resize(q - out.constData());
}

// A folder of the file: a part of some group names between their "/".
struct Node
{
    QString name;
    std::vector<int> groups; // the groups whose links stand here, in list order
    std::vector<int> children; // in the order of their first group
};

} // namespace

QByteArray bytes(const QList<GroupRecord> &groups, const QList<LinkRecord> &links,
                 const QHash<qint64, qint64> &added)
{
    // Groups in list order.
    std::vector<int> order(size_t(groups.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const GroupRecord &x = groups[a], &y = groups[b];
        if (x.gSrt != y.gSrt)
            return x.gSrt < y.gSrt;
        const int c = NoCase::compare(x.sGrp, y.sGrp);
        return c != 0 ? c < 0 : x.nGrp < y.nGrp;
    });

    // Each group's links in list order; links of group 0 or of no listed group go to the root.
    QHash<qint64, std::vector<int>> byGroup;
    for (const GroupRecord &g : groups)
        byGroup.insert(g.nGrp, {});
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

    // The folder tree: node 0 is the root, a node per distinct "/"-separated prefix.
    std::vector<Node> nodes(1);
    QHash<QString, int> nodeOf;
    for (const int g : order) {
        const GroupRecord &group = groups[g];
        if (group.nGrp == 0)
            continue;
        int node = 0;
        qsizetype start = 0;
        for (;;) {
            qsizetype slash = group.sGrp.indexOf(u'/', start);
            const qsizetype end = slash < 0 ? group.sGrp.size() : slash;
            const QString prefix = group.sGrp.left(end);
            auto it = nodeOf.constFind(prefix);
            if (it == nodeOf.constEnd()) {
                nodes.push_back({group.sGrp.mid(start, end - start), {}, {}});
                nodes[size_t(node)].children.push_back(int(nodes.size() - 1));
                it = nodeOf.insert(prefix, int(nodes.size() - 1));
            }
            node = *it;
            if (slash < 0)
                break;
            start = slash + 1;
        }
        nodes[size_t(node)].groups.push_back(g);
    }

    // Dates by link number: a table when the numbers lie close together, as they do.
    qint64 lowest = std::numeric_limits<qint64>::max();
    qint64 highest = std::numeric_limits<qint64>::min();
    for (auto it = added.cbegin(); it != added.cend(); ++it) {
        lowest = qMin(lowest, it.key());
        highest = qMax(highest, it.key());
    }
    // Distances taken unsigned: numbers far apart would overflow a signed difference.
    const auto distance = [&](qint64 n) { return quint64(n) - quint64(lowest); };
    std::vector<qint64> dates;
    if (!added.isEmpty() && distance(highest) < 4 * quint64(qMax(links.size(), added.size())))
        dates.resize(size_t(distance(highest) + 1), 0);
    for (auto it = added.cbegin(); it != added.cend() && !dates.empty(); ++it)
        dates[size_t(distance(it.key()))] = it.value();
    auto dateOf = [&](qint64 nURL) -> qint64 {
        if (dates.empty())
            return added.value(nURL);
        return nURL >= lowest && nURL <= highest ? dates[size_t(distance(nURL))] : 0;
    };

    QByteArray out;
    out.reserve(qsizetype(sizeof kHead) + links.size() * 160);
    out.append(kHead);
    auto indent = [&](int depth) { out.append(4 * depth, ' '); };
    auto writeLinks = [&](const std::vector<int> &v, int depth) {
        for (const int i : v) {
            const LinkRecord &l = links[i];
            indent(depth);
            out.append("<DT><A HREF=\"");
            appendEscaped(out, l.sURL);
            const qint64 date = dateOf(l.nURL);
            if (date > 0) {
                out.append("\" ADD_DATE=\"");
                out.append(QByteArray::number(date));
            }
            out.append("\">");
            appendEscaped(out, l.sNam);
            out.append("</A>\n");
            if (!l.sMem.isEmpty()) {
                indent(depth);
                out.append("<DD>");
                appendEscaped(out, l.sMem);
                out.append('\n');
            }
        }
    };

    // Depth first without recursion, so that a name of many "/" cannot exhaust the stack.
    struct Step
    {
        int node;
        size_t child; // the next child to write
    };
    writeLinks(root, 1);
    std::vector<Step> stack {{0, 0}};
    while (!stack.empty()) {
        Step &step = stack.back();
        const Node &node = nodes[size_t(step.node)];
        const int depth = int(stack.size());
        if (step.child == 0) {
            for (const int g : node.groups)
                writeLinks(byGroup[groups[g].nGrp], depth);
        }
        if (step.child > 0) {
            indent(depth);
            out.append("</DL><p>\n");
        }
        if (step.child == node.children.size()) {
            stack.pop_back();
            continue;
        }
        const int child = node.children[step.child++];
        indent(depth);
        out.append("<DT><H3>");
        appendEscaped(out, nodes[size_t(child)].name);
        out.append("</H3>\n");
        indent(depth);
        out.append("<DL><p>\n");
        stack.push_back({child, 0});
    }
    out.append(kTail);
    return out;
}

} // namespace BookmarkExport
