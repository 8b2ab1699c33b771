#pragma once

#include <QImage>
#include <QString>

#include <functional>

class ProgressWindow;
class QWidget;

// Page pictures of the main window: taken by the capture window, processed at the scale
// "PC_SIZE", written as Pic/<number>.jpg.
namespace PagePictures {

using Capture = std::function<QImage(const QString &sURL)>;
// A capture inside a run; it gives up as soon as the run's window is cancelled.
using RunCapture = std::function<QImage(const QString &sURL, ProgressWindow &progress)>;

// The finished picture of the page, or a null image while pictures are off or none was taken.
QImage take(const Capture &capture, const QString &sURL, int iPicSz);
// Writes it for the link; a failure is shown and the earlier file stays.
bool write(const QImage &img, const QString &dataPh, qint64 nURL);
// Pictures of every link anew, in number order, after a question that says how many links
// and about how long; its progress window's 中止 (or Esc) ends the run at once. Returns the
// number of pictures written.
int all(QWidget *parent, const RunCapture &capture, int iPicSz, const QString &dataPh);

} // namespace PagePictures
