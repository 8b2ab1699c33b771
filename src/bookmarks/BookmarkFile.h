#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

// A folder of a bookmark file. Folders with the same path are one folder, wherever they stand.
struct BookmarkFolder
{
    // The names below the file's root joined with "/", e.g. "技術/Qt", a "/" inside a name held
    // as GroupTree holds it; filled only for a
    // folder that can become a group (one with links, or empty), so that deep nesting costs
    // no path per level. BookmarkFile::pathOf gives any folder's.
    QString path;
    int parent = -1; // the enclosing folder, -1 for the root
    int links = 0; // links directly in it
    int folders = 0; // folders directly in it
    QString name;
};

struct BookmarkLink
{
    int folder = -1; // index into BookmarkFile::folders, -1 for the root
    int position = 0; // 1, 2, 3 … within its folder
    QString address;
    QString title;
    QString description; // one line: the file's line breaks become spaces
    qint64 added = 0; // seconds since 1970; 0 when the file gives none
    QString tags; // TAGS as the file gives it, e.g. "qt,c++"
    int order = 0; // 0, 1, 2 … in the file
};
Q_DECLARE_TYPEINFO(BookmarkFolder, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(BookmarkLink, Q_RELOCATABLE_TYPE);

// A Netscape bookmark file as Chromium- and Firefox-family browsers and bookmark services write
// it, read in one pass over its text.
struct BookmarkFile
{
    // Empty when the file was read; otherwise why not, and nothing else is filled.
    QString error;
    QString encoding; // the name of the encoding the file was read in
    QList<BookmarkFolder> folders; // in the order of their first heading
    QList<BookmarkLink> links; // in file order
    QList<int> skippedLines; // lines (from 1) with an entry that could not be read
    // Folders nested deeper than kMaxDepth: their contents went to their ancestor at that depth.
    int joinedFolders = 0;
    static constexpr int kMaxDepth = 1000;
    // A larger file is refused unread.
    static constexpr qint64 kMaxBytes = qint64(1) << 30;

    bool ok() const { return error.isEmpty(); }
    QString folderPath(const BookmarkLink &link) const;
    QString pathOf(int folder) const;

    // Reads the bytes of a file. The encoding comes from a byte-order mark, else from the META
    // charset, else UTF-8.
    static BookmarkFile parse(QByteArrayView bytes);
    // Reads the file at path; a file that cannot be read gives its reason as the error. Only a
    // regular file of at most kMaxBytes is read: a FIFO or a device is refused without waiting.
    static BookmarkFile read(const QString &path);

    // ADD_DATE as seconds since 1970: a value too large to be seconds is taken as milliseconds
    // or microseconds; a value that is none of them, or not above 0, gives 0.
    static qint64 secondsOf(qint64 value);
};
