#include "PageImage.h"
#include "platform/DataFolder.h"

#include "platform/TextFile.h"

#include <algorithm>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QUrl>
#include <cfenv>
#include <cmath>

namespace PageImage {
namespace {

constexpr char kDepthTable[] = "80.16.24.32.";
constexpr int kJpegQuality = 75;

int halfEven(float v)
{
    // nearbyint follows the current rounding mode, which is to-nearest-even by default.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const int r = int(std::nearbyint(v));
    std::fesetround(saved);
    return r;
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

float scaleFor(int iPicSz)
{
    if (iPicSz < 0)
        return 0.0f;
    const float s = float(iPicSz) / 100.0f;
    return (s < 0.1f || s > 1.0f) ? 0.0f : s;
}

QSize targetSize(const QSize &picture, float s)
{
    return QSize(halfEven(float(picture.width() - 20) * s),
                 halfEven(float(picture.height() - 20) * s));
}

bool keepsDepth(int depth)
{
    return QString::fromLatin1(kDepthTable).contains(QString::number(depth) + u'.');
}

QImage process(const QImage &grabbed, int iPicSz, QString *error)
{
    // A high-density screen grabs more pixels than the window's size: the picture is made at
    // the window's size from all of them, so it is the same size everywhere and sharp.
    QImage picture = grabbed;
    if (grabbed.devicePixelRatio() > 1.0) {
        picture = grabbed.scaled((QSizeF(grabbed.size()) / grabbed.devicePixelRatio()).toSize(),
                                 Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        picture.setDevicePixelRatio(1.0);
    }
    const float s = scaleFor(iPicSz);
    if (s == 0.0f) {
        setError(error, QStringLiteral("scale %1 takes no picture").arg(iPicSz));
        return {};
    }
    if (picture.isNull() || picture.width() <= 20 || picture.height() <= 20) {
        setError(error, QStringLiteral("the picture is empty or too small"));
        return {};
    }
    const int w = picture.width();
    const int h = picture.height();
    // The window's frame and scroll bar lie outside (2, 2) - (W - 18, H - 18).
    QImage img = picture.copy(2, 2, w - 20, h - 20);
    if (img.isNull()) {
        setError(error, QStringLiteral("cropping failed"));
        return {};
    }
    int depth = img.depth();
    if (!keepsDepth(depth)) {
        img = img.convertToFormat(QImage::Format_RGB16);
        depth = 16;
    }
    const QSize size = targetSize(picture.size(), s);
    if (size.isEmpty()) {
        setError(error, QStringLiteral("resizing failed"));
        return {};
    }
    img = img.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (img.isNull()) {
        setError(error, QStringLiteral("resizing failed"));
        return {};
    }
    if (img.format() != QImage::Format_RGB888)
        img = img.convertToFormat(QImage::Format_RGB888);
    if (img.isNull()) {
        setError(error, QStringLiteral("conversion to 24 bits failed"));
        return {};
    }
    return img;
}

bool writeJpeg(const QImage &img, const QString &path, QString *error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kJpegQuality);
    if (!writer.write(img)) {
        setError(error, writer.errorString());
        return false;
    }
    return TextFile::writeAtomic(path, bytes, error);
}

QString fileFor(const QString &dataPh, qint64 nURL)
{
    return DataFolder::picture(dataPh, nURL);
}

QString toolTipFor(const QString &dataPh, const QString &number)
{
    bool ok = false;
    const qint64 n = number.trimmed().toLongLong(&ok);
    if (!ok)
        return {};
    const QString path = fileFor(dataPh, n);
    if (!QFile::exists(path))
        return {};
    return QStringLiteral("<img src=\"%1\">")
        .arg(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toHtmlEscaped());
}

void removeOrphans(const QString &dataPh, const std::vector<qint64> *numbers)
{
    removeOrphans(dataPh, numbers, QStringLiteral("pic"), QStringLiteral(".jpg"));
}

void removeOrphans(const QString &dataPh, const std::vector<qint64> *numbers, const QString &folder,
                   const QString &suffix)
{
    QDir data(dataPh);
    for (const QString &name : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name.compare(folder, Qt::CaseInsensitive) != 0)
            continue;
        QDir files(data.filePath(name));
        for (const QString &file : files.entryList(QDir::Files | QDir::Hidden)) {
            if (!file.endsWith(suffix, Qt::CaseInsensitive))
                continue;
            // The whole stem is the number as written: neither "2.jpg" nor "012.jpg" belongs
            // to link 12.
            const QString stem = file.left(file.size() - suffix.size());
            bool isNumber = false;
            const qint64 n = stem.toLongLong(&isNumber);
            if (numbers && isNumber && stem == QString::number(n)
                && std::binary_search(numbers->begin(), numbers->end(), n))
                continue;
            QFile::remove(files.filePath(file));
        }
    }
}

} // namespace PageImage
