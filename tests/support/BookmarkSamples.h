#pragma once

#include <QByteArray>
#include <QStringBuilder>

// Bookmark files made on the spot for tests and benchmarks.
namespace BookmarkSamples {

// A file in the shape Chromium-family browsers write: n links in nested folders (10 folders of
// 10 of 5, links in the innermost, 1 % at the root), Japanese titles, an icon on every
// twentieth link, a description on every fifth, every fiftieth address a repeat of an earlier
// one, dates in no order. About 170 bytes a link.
QByteArray generated(int links);

// How many of generated(links)'s links repeat an earlier address.
int generatedRepeats(int links);

// The five lines a browser's file in UTF-8 starts with, up to the root's own <DL><p>.
inline const QByteArray kHead
    = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
      "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";

// A link whose title is its address in capitals, and a folder holding the given entries.
inline QByteArray entry(const char *address, const char *date = nullptr)
{
    QByteArray a = "<DT><A HREF=\"" + QByteArray(address) + '"';
    if (date)
        a += " ADD_DATE=\"" + QByteArray(date) + '"';
    return a + ">" + QByteArray(address).toUpper() + "</A>\n";
}
inline QByteArray folder(const char *name, const QByteArray &content)
{
    return "<DT><H3>" + QByteArray(name) + "</H3>\n<DL><p>\n" + content + "</DL><p>\n";
}

} // namespace BookmarkSamples
