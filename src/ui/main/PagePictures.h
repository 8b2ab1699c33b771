#pragma once

#include <QImage>
#include <QString>

#include <functional>

class QProgressDialog;
class QWidget;

// Page pictures of the main window: taken by the capture window, processed at the scale
// "PC_SIZE", written as Pic/<number>.jpg.
namespace PagePictures {

using Capture = std::function<QImage(const QString &sURL)>;

// The finished picture of the page, or a null image while pictures are off or none was taken.
QImage take(const Capture &capture, const QString &sURL, int iPicSz);
// Writes it for the link; a failure is shown and the earlier file stays.
bool write(const QImage &img, const QString &dataPh, int nURL);
// Pictures of every link anew, in number order, with a progress window whose Cancel ends the
// run after the current link. *progress points to that window while it runs.
void all(QWidget *parent, const Capture &capture, int iPicSz, const QString &dataPh,
         QProgressDialog **progress);

} // namespace PagePictures
