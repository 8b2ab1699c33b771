#pragma once

#include "collection/ListRow.h"

#include <QByteArray>
#include <QString>

// The document with the page images: an Office Open XML word-processing file holding one
// two-column table, a row per link, the page image on the left and the title as a hyperlink
// with the description below it on the right.
namespace Document {

// A4 portrait with one-inch margins, in twips.
constexpr int kPageWidth = 11906;
constexpr int kPageHeight = 16838;
constexpr int kMargin = 1440;
constexpr int kTextWidth = kPageWidth - 2 * kMargin; // 9026
constexpr int kNarrowFirstColumn = 2400; // 120 points, for the small image scale
constexpr int kCellMargin = 108; // left and right inside every cell
constexpr int kEmuPerPixel = 9525; // at 96 dots per inch
constexpr int kEmuPerTwip = 635;

struct Columns
{
    int first = 0;
    int second = 0;
};
// The first column is 120 points below the 50 % scale; otherwise the two share the width.
Columns columnWidths(int iPicSz);

// The page image of a link: dataPh + "Pic/" + the number without surrounding spaces + ".jpg".
QString picturePath(const QString &dataPh, const QString &nURL);

// The .docx file's bytes for the rows in list order. A row whose picture is missing or
// unreadable gets an empty left cell. Empty on failure, with the reason in *error.
QByteArray build(const QList<ListRow> &rows, const QString &dataPh, int iPicSz,
                 QString *error = nullptr);

// The command. Does nothing while images are off (iPicSz < 0); says so for an empty list;
// otherwise asks for the file, writes the document and opens it. True when it was written.
bool make(const QList<ListRow> &rows, const QString &groupText, const QString &dataPh, int iPicSz);

} // namespace Document
