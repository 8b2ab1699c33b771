#include "PagePictures.h"

#include "pages/PageImage.h"
#include "platform/Dialogs.h"
#include "store/LinkStore.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace PagePictures {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(PagePictures)
};

} // namespace

QImage take(const Capture &capture, const QString &sURL, int iPicSz)
{
    if (PageImage::scaleFor(iPicSz) == 0.0f || !capture)
        return {};
    const QImage picture = capture(sURL);
    return picture.isNull() ? QImage() : PageImage::process(picture, iPicSz);
}

bool write(const QImage &img, const QString &dataPh, int nURL)
{
    const QString path = PageImage::fileFor(dataPh, nURL);
    QString error;
    if (PageImage::writeJpeg(img, path, &error))
        return true;
    Dialogs::message(Tr::tr("%1 を保存できません: %2").arg(path, error));
    return false;
}

void all(QWidget *parent, const Capture &capture, int iPicSz, const QString &dataPh,
         QProgressDialog **progress)
{
    QList<QPair<int, QString>> links;
    QString error;
    if (!LinkStore::forEachAddress(
            [&](int n, const QString &url) {
                links.append({n, url});
            },
            &error)) {
        Dialogs::message(Tr::tr("ﾘﾝｸの読み込みに失敗しました: %1").arg(error));
        return;
    }
    if (links.isEmpty())
        return;
    QProgressDialog dialog(parent);
    dialog.setWindowTitle(Dialogs::title());
    dialog.setCancelButtonText(Tr::tr("中止"));
    dialog.setRange(0, int(links.size()));
    dialog.setMinimumDuration(0);
    dialog.setWindowModality(Qt::WindowModal);
    *progress = &dialog;
    for (int i = 0; i < links.size() && !dialog.wasCanceled(); ++i) {
        dialog.setLabelText(
            QStringLiteral("%1 / %2\n%3").arg(i + 1).arg(links.size()).arg(links[i].second));
        dialog.setValue(i);
        const QImage img = take(capture, links[i].second, iPicSz);
        if (!img.isNull())
            write(img, dataPh, links[i].first);
    }
    dialog.setValue(int(links.size()));
    *progress = nullptr;
}

} // namespace PagePictures
