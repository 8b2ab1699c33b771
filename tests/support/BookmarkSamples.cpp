#include "BookmarkSamples.h"

namespace BookmarkSamples {
namespace {

constexpr int kTop = 10, kMiddle = 10, kInner = 5;

void appendLink(QByteArray &out, int i, int depth)
{
    // Every fiftieth link repeats the address of the link 25 before it.
    const int site = i % 50 == 49 ? i - 25 : i;
    const QByteArray indent(4 * depth, ' '), number = QByteArray::number(i);
    out += indent + "<DT><A HREF=\"https://site" + QByteArray::number(site % 997)
        + ".example.com/articles/" + QByteArray::number(site) + ".html\" ADD_DATE=\""
        + QByteArray::number(1300000000LL + (qint64(i) * 104729) % 400000000) + '"';
    if (i % 20 == 0)
        out += " ICON=\"data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/9hAAAAEklE"
               "QVQ4jWNgGAWjYBSMAggAAAQQAAF/TXiOAAAAAElFTkSuQmCC\"";
    out += ">記事 " + number + ": Qt と SQLite の使い方 &amp; メモ</A>\n";
    if (i % 5 == 0)
        out += indent + "<DD>説明 " + number + " 行目の &quot;メモ&quot;\n";
}

} // namespace

QByteArray generated(int links)
{
    QByteArray out;
    out.reserve(qsizetype(links) * 180 + 4096);
    out.append("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
               "<!-- This is an automatically generated file.\n"
               "     It will be read and overwritten.\n"
               "     DO NOT EDIT! -->\n"
               "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
               "<TITLE>Bookmarks</TITLE>\n"
               "<H1>Bookmarks</H1>\n"
               "<DL><p>\n");
    const int atRoot = links / 100;
    int next = 0;
    for (; next < atRoot; ++next)
        appendLink(out, next, 1);
    const int leaves = kTop * kMiddle * kInner;
    const int perLeaf = (links - atRoot) / leaves;
    int extra = (links - atRoot) % leaves;
    auto open = [&](int depth, const char *word, int number) {
        const QByteArray indent(4 * depth, ' ');
        out += indent + "<DT><H3 ADD_DATE=\"1300000000\" LAST_MODIFIED=\"1300000000\">" + word + ' '
            + QByteArray::number(number) + "</H3>\n" + indent + "<DL><p>\n";
    };
    auto close = [&](int depth) { out += QByteArray(4 * depth, ' ') + "</DL><p>\n"; };
    for (int t = 0; t < kTop; ++t) {
        open(1, "分野", t + 1);
        for (int m = 0; m < kMiddle; ++m) {
            open(2, "話題", m + 1);
            for (int k = 0; k < kInner; ++k) {
                open(3, "項目", k + 1);
                const int count = perLeaf + (extra > 0 ? 1 : 0);
                if (extra > 0)
                    --extra;
                for (int c = 0; c < count; ++c)
                    appendLink(out, next++, 4);
                close(3);
            }
            close(2);
        }
        close(1);
    }
    out.append("</DL><p>\n");
    return out;
}

int generatedRepeats(int links)
{
    return links / 50;
}

} // namespace BookmarkSamples
