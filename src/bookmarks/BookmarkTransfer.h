#pragma once

#include <functional>

#include "bookmarks/BookmarkExport.h"
#include "bookmarks/BookmarkImport.h"
#include "store/LinkStore.h"

#include <QByteArray>
#include <QString>

// Bookmark files in and out of the open collection: the steps the menu and the command line
// share. Every message names the file and the reason.
class BookmarkTransfer
{
public:
    // Written, Cancelled or Failed.
    using Result = LinkStore::ImportResult;

    // Reads the file at path (XBEL or a Netscape bookmark file, as its content shows) and works out
    // what importing it would write; nothing is written. False, with the message in *error, for a
    // file that is refused or a collection that cannot be read.
    bool read(const QString &path, QString *error = nullptr);

    const ImportPlan &plan() const { return m_plan; }
    // Whether the import writes anything at all.
    bool hasWork() const { return !m_plan.links.isEmpty() || !m_plan.newGroups.isEmpty(); }
    // One line each: links to import, new groups, links already in the collection, lines not
    // read; then, when there are any, links merged with an earlier one and folders joined.
    QString counts() const;
    // The question before the import, or the message when there is nothing to import.
    QString question() const;

    // Writes the plan in one transaction; cancelled by progress or failed, nothing is written.
    Result write(const LinkStore::ProgressFn &progress = {}, QString *error = nullptr);

    // The whole collection as a bookmark file, and how many links it holds.
    // keepGoing, when given, is asked now and then; false stops the export with nothing
    // written and *error empty.
    // The same handed to sink piece by piece as the rows are read; false from sink stops it
    // with *error untouched.
    using Format = BookmarkExport::Format;
    // buffer: the bytes of links held at once, read ahead of the writer.
    static constexpr qsizetype kExportBuffer = 112 << 20;
    static bool exportStream(const std::function<bool(QByteArrayView)> &sink, int *links = nullptr,
                             QString *error = nullptr, const std::function<bool()> &keepGoing = {},
                             Format format = Format::Netscape, qsizetype buffer = kExportBuffer);
    static bool exportBytes(QByteArray &out, int *links = nullptr, QString *error = nullptr,
                            const std::function<bool()> &keepGoing = {},
                            Format format = Format::Netscape);
    // The format a file name asks for: XBEL for ".xbel", else Netscape.
    static Format formatOf(const QString &path);
    // The file a save dialog's answer names, and its format: the type chosen, or XBEL for a
    // name ending in .xbel; a name without an ending gets the type's.
    static QString chosenFile(const QString &path, Format chosen, Format *format);
    // The same written to path in one piece, in the format its name asks for unless given.
    static bool exportTo(const QString &path, int *links = nullptr, QString *error = nullptr,
                         const std::function<bool()> &keepGoing = {},
                         std::optional<Format> format = std::nullopt);
    static QString exportedText(const QString &path, int links);

private:
    QString failed(const QString &why) const;

    QString m_path;
    ImportPlan m_plan;
    int m_joined = 0; // folders nested too deep, joined to their ancestor
};
