#pragma once

#include "collection/ListRow.h"

#include <QByteArray>
#include <QString>

// The "My Portal" start page: one heading per run of rows of the same group, under it the
// group's links with their descriptions.
namespace Portal {

// The page for the rows in list order, every line ending in CR LF. Inserted values are
// HTML-escaped and characters code page 932 cannot hold are written as numeric character
// references, so the text encodes to code page 932 without loss.
QString pageText(const QList<ListRow> &rows);
// The bytes of the file: pageText in code page 932, built in one pass without the text.
QByteArray pageBytes(const QList<ListRow> &rows);

// One value as it goes into the page: & < > " ' escaped, characters outside code page 932 as
// "&#xHEX;", everything else (line breaks included) unchanged.
QString escape(QStringView value);

// The command: asks for the file, builds the page and writes it. Returns the written path, or
// an empty text when the user cancelled or the file could not be written (already reported).
QString make(const QList<ListRow> &rows, const QString &groupText, const QString &dataPh);

} // namespace Portal
