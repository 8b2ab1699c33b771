#include "BookmarkExport.h"

#include "platform/NoCase.h"

#include <algorithm>
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

bool write(const QList<GroupRecord> &groups, const ReadFn &read, const SinkFn &sink)
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
    out.append(kHead);
    auto indent = [&](int depth) { out.append(4 * depth, ' '); };
    auto writeLinks = [&](std::optional<qint64> nGrp, int depth) {
        return read(nGrp,
                    [&](const Link &l) {
                        if (!sinking)
                            return;
                        indent(depth);
                        out.append("<DT><A HREF=\"");
                        appendEscaped(out, l.sURL);
                        if (l.added > 0) {
                            out.append("\" ADD_DATE=\"");
                            out.append(QByteArray::number(l.added));
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
                        if (out.size() >= kFlushAt)
                            flush();
                    })
            && sinking;
    };

    // Depth first without recursion, so that a name of many "/" cannot exhaust the stack.
    struct Step
    {
        int node;
        size_t child; // the next child to write
    };
    if (!writeLinks(std::nullopt, 1))
        return false;
    std::vector<Step> stack {{0, 0}};
    while (!stack.empty()) {
        Step &step = stack.back();
        const int at = step.node;
        const int depth = int(stack.size());
        if (step.child == 0) {
            for (const int g : nodes[size_t(at)].groups) {
                if (!writeLinks(groups[g].nGrp, depth))
                    return false;
            }
        }
        Step &now = stack.back();
        const Node &node = nodes[size_t(now.node)];
        if (now.child > 0) {
            indent(depth);
            out.append("</DL><p>\n");
        }
        if (now.child == node.children.size()) {
            stack.pop_back();
            continue;
        }
        const int child = node.children[now.child++];
        indent(depth);
        out.append("<DT><H3>");
        appendEscaped(out, nodes[size_t(child)].name);
        out.append("</H3>\n");
        indent(depth);
        out.append("<DL><p>\n");
        stack.push_back({child, 0});
    }
    out.append(kTail);
    return flush();
}

QByteArray bytes(const QList<GroupRecord> &groups, const QList<LinkRecord> &links,
                 const QHash<qint64, qint64> &added)
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
                each({l.nURL, l.sURL, l.sNam, l.sMem, added.value(l.nURL)});
            }
            return true;
        },
        [&](QByteArrayView b) {
            out.append(b);
            return true;
        });
    return out;
}

} // namespace BookmarkExport
