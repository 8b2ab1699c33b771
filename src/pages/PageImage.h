#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

// The page picture pipeline: crop, colour depth, resize, 24-bit JPEG at quality 75.
namespace PageImage {

// The scale for a "PC_SIZE" value, or 0 when no picture is to be taken (-1, or outside 10..100).
float scaleFor(int iPicSz);
// The file size for a picture of the given size: (W - 20) × s by (H - 20) × s, halves to even.
QSize targetSize(const QSize &picture, float s);
// Whether a picture of depth d keeps its depth before resizing (the depth table).
bool keepsDepth(int depth);
// The finished picture, or a null image when a step fails (*error says which).
QImage process(const QImage &picture, int iPicSz, QString *error = nullptr);
// The finished picture as a JPEG of quality 75, written over path atomically.
bool writeJpeg(const QImage &img, const QString &path, QString *error = nullptr);
// dataPh + "Pic/" + number + ".jpg"
QString fileFor(const QString &dataPh, qint64 nURL);
// A tooltip showing the picture of link number (a decimal text) at its stored size; empty when
// there is none.
QString toolTipFor(const QString &dataPh, const QString &number);
// Deletes the pictures in the data folder's "Pic" (any letter case) whose number is not among
// numbers (sorted ascending); every picture when numbers is null. Files that will not go stay.
void removeOrphans(const QString &dataPh, const std::vector<qint64> *numbers);
// The same rule for the files "<number><suffix>" of another folder of the data folder (folder
// in lower case, found in any letter case); other files of that suffix go too.
void removeOrphans(const QString &dataPh, const std::vector<qint64> *numbers, const QString &folder,
                   const QString &suffix);

} // namespace PageImage
