#pragma once

#include "bookmarks/BookmarkFile.h"

#include <QByteArrayView>
#include <QString>

// XBEL, the XML bookmark exchange format sync tools keep on WebDAV servers, read into the same
// folders and links as a Netscape bookmark file: folders with their titles, bookmarks with
// title, desc and added; separators and aliases are skipped.
namespace XbelFile {

// The owner of the <info><metadata> that carries a link's tags ("qt,c++" as its tags attribute).
inline constexpr char kTagsOwner[] = "Linkwell";

// Whether the bytes start as XML (after a byte-order mark and white space): such a file is read
// as XBEL, and refused with the line when it is none.
bool looksLikeXml(QByteArrayView bytes);

// Reads XBEL. A DOCTYPE that declares entities of its own is refused unread: nothing is
// expanded.
BookmarkFile parse(QByteArrayView bytes);

// Reads the file at path as XBEL or as a Netscape bookmark file, as its content shows.
BookmarkFile read(const QString &path);

} // namespace XbelFile
