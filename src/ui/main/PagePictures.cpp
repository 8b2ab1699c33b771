#include "PagePictures.h"

#include "pages/PageImage.h"
#include "platform/Dialogs.h"
#include "platform/widgets/ProgressWindow.h"
#include "store/LinkStore.h"

#include <QCoreApplication>

namespace PagePictures {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(PagePictures)
};

constexpr qint64 kSecondsPerLink = 3;

} // namespace

QImage take(const Capture &capture, const QString &sURL, int iPicSz)
{
    if (PageImage::scaleFor(iPicSz) == 0.0f || !capture)
        return {};
    const QImage picture = capture(sURL);
    return picture.isNull() ? QImage() : PageImage::process(picture, iPicSz);
}

bool write(const QImage &img, const QString &dataPh, qint64 nURL)
{
    const QString path = PageImage::fileFor(dataPh, nURL);
    QString error;
    if (PageImage::writeJpeg(img, path, &error))
        return true;
    Dialogs::message(Tr::tr("%1 を保存できません: %2").arg(path, error));
    return false;
}

int all(QWidget *parent, const RunCapture &capture, int iPicSz, const QString &dataPh)
{
    if (PageImage::scaleFor(iPicSz) == 0.0f || !capture)
        return 0;
    QList<QPair<qint64, QString>> links;
    QString error;
    if (!LinkStore::forEachAddress(
            [&](qint64 n, const QString &url) {
                links.append({n, url});
            },
            &error)) {
        Dialogs::message(Tr::tr("ﾘﾝｸの読み込みに失敗しました: %1").arg(error));
        return 0;
    }
    if (links.isEmpty())
        return 0;
    // A page takes a few seconds to load and paint: the user knows what he starts.
    const qint64 minutes = (links.size() * kSecondsPerLink + 59) / 60;
    if (!Dialogs::message(Tr::tr("%1 件のﾘﾝｸの画像を出力します（約%2分）。よろしいですか")
                              .arg(links.size())
                              .arg(minutes),
                          Dialogs::Buttons::OkCancel))
        return 0;
    ProgressWindow dialog(QString(), parent, int(links.size()), 0);
    int written = 0;
    for (int i = 0; i < links.size() && dialog.step(i); ++i) {
        dialog.setLabelText(
            QStringLiteral("%1 / %2\n%3").arg(i + 1).arg(links.size()).arg(links[i].second));
        const QImage picture = capture(links[i].second, dialog);
        if (picture.isNull())
            continue;
        const QImage img = PageImage::process(picture, iPicSz);
        if (!img.isNull() && write(img, dataPh, links[i].first))
            ++written;
    }
    dialog.finish();
    return written;
}

} // namespace PagePictures
