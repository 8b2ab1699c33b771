#pragma once

#include "store/Records.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

// The collection as a Netscape bookmark file in UTF-8, as browsers import it, or as XBEL.
namespace BookmarkExport {

enum class Format { Netscape, Xbel };

// One folder per group, nested by the "/" in its name (GroupTree: a "∕" in a name is written as
// "/", folders in tree order, a folder only paths below it name written too), each holding its
// group's links in list order (sort key, then title) before its sub-folders. Group 0's links, and
// links whose group is missing, stand at the root. added: link number to seconds since 1970,
// written as ADD_DATE where known. Every value is escaped, line breaks and the spaces at a value's
// ends as references, so reading the file back gives each value exactly.
QByteArray bytes(const QList<GroupRecord> &groups, const QList<LinkRecord> &links,
                 const QHash<qint64, qint64> &added = {}, Format format = Format::Netscape);

// The same file written piece by piece as the links are read, so that a collection of any size
// takes a bounded buffer: read(nGrp, each) hands each link of group nGrp (none: the root's links)
// in list order and returns false when the reading failed; sink takes the file's bytes in order
// and returns false to stop. False when either stopped it.
// A value as a QString or as the UTF-8 the engine holds; UTF-8 goes to the file as it is, but
// for what is escaped (bytes that are not UTF-8 are written as their QString reading is).
struct Text
{
    Text() = default;
    Text(QStringView s)
        : text(s)
    {
    }
    Text(const QString &s)
        : text(s)
    {
    }
    Text(QByteArrayView u)
        : utf8(u)
        , isUtf8(true)
    {
    }
    bool isEmpty() const { return isUtf8 ? utf8.isEmpty() : text.isEmpty(); }
    QStringView text;
    QByteArrayView utf8;
    bool isUtf8 = false;
};
struct Link
{
    qint64 nURL = 0;
    Text sURL, sNam, sMem;
    qint64 added = 0; // 0: not known
    Text tags; // TAGS, or the program's metadata in XBEL
};
using LinkFn = std::function<void(const Link &)>;
using ReadFn = std::function<bool(std::optional<qint64> nGrp, const LinkFn &each)>;
using SinkFn = std::function<bool(QByteArrayView bytes)>;
bool write(const QList<GroupRecord> &groups, const ReadFn &read, const SinkFn &sink,
           Format format = Format::Netscape);

} // namespace BookmarkExport
