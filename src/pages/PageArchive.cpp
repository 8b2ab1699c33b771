#include "PageArchive.h"
#include "platform/DataFolder.h"

#include "pages/PageImage.h"
#include "platform/WebBrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace PageArchive {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(PageArchive)
};

// The parts being written now: a second save of the same link waits for none and writes none.
QSet<QString> &inFlight()
{
    static QSet<QString> parts;
    return parts;
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1);
}

} // namespace

QString folderFor(const QString &dataPh)
{
    return DataFolder::copies(dataPh);
}

QString fileFor(const QString &dataPh, int nURL)
{
    return folderFor(dataPh) + QString::number(nURL) + QStringLiteral(".mhtml");
}

QString partFileFor(const QString &dataPh, int nURL)
{
    return folderFor(dataPh) + QString::number(nURL) + QStringLiteral(".part.mhtml");
}

bool hasCopy(const QString &dataPh, int nURL)
{
    return QFileInfo::exists(fileFor(dataPh, nURL))
        || inFlight().contains(partFileFor(dataPh, nURL));
}

bool commit(const QString &part, const QString &path, QString *error)
{
    const QFileInfo info(part);
    if (!info.isFile()) {
        setError(error, Tr::tr("ﾌｧｲﾙができていません"));
        return false;
    }
    const qint64 size = info.size();
    if (size == 0 || size > kMaxBytes) {
        QFile::remove(part);
        setError(error,
                 size == 0 ? Tr::tr("ﾍﾟｰｼﾞが空です")
                           : Tr::tr("%1 MB を超えるため残しません (%2 MB)")
                                 .arg(QString::number(kMaxBytes / (1024 * 1024)), megabytes(size)));
        return false;
    }
    // A rename within the folder replaces an earlier copy in one step.
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(part).toStdString()),
                            std::filesystem::path(QFile::encodeName(path).toStdString()), ec);
    if (ec) {
        QFile::remove(part);
        setError(error, QString::fromLocal8Bit(ec.message()));
        return false;
    }
    return true;
}

void save(WebBrowser *web, const QString &address, const QString &dataPh, int nURL, Done done)
{
    const QString path = fileFor(dataPh, nURL);
    const QString part = partFileFor(dataPh, nURL);
    const QString shown = QDir::toNativeSeparators(path);
    auto failed = [shown](const QString &why) -> QString {
        return Tr::tr("%1 を保存できません: %2").arg(shown, why);
    };
    if (inFlight().contains(part))
        return;
    // The page on show must still be the registered one (an anchor within it aside): a copy
    // of another page would be kept under this link for good.
    const auto page = [](const QString &a) { return QUrl(a).adjusted(QUrl::RemoveFragment); };
    if (page(web->LocationURL()) != page(address)) {
        done(false, failed(Tr::tr("表示中のﾍﾟｰｼﾞが変わりました")));
        return;
    }
    // The folder may have been removed since start-up.
    if (!QDir().mkpath(folderFor(dataPh))) {
        done(false,
             failed(Tr::tr("ﾌｫﾙﾀﾞ %1 を作成できません")
                        .arg(QDir::toNativeSeparators(folderFor(dataPh)))));
        return;
    }
    QFile::remove(part);
    inFlight().insert(part);
    web->saveArchive(part, [part, path, failed, done](bool ok, const QString &reason) {
        inFlight().remove(part);
        QString why = reason;
        if (ok)
            ok = commit(part, path, &why);
        else
            QFile::remove(part);
        done(ok, ok ? QString() : failed(why));
    });
}

bool remove(const QString &dataPh, int nURL)
{
    const QString path = fileFor(dataPh, nURL);
    return QFile::remove(path) || !QFileInfo::exists(path);
}

void removeOrphans(const QString &dataPh, const std::vector<int> *numbers)
{
    PageImage::removeOrphans(dataPh, numbers, QStringLiteral("arc"), QStringLiteral(".mhtml"));
}

QString caption(const QDateTime &savedAt, const QString &address)
{
    return Tr::tr("保存したﾍﾟｰｼﾞ (%1): %2")
        .arg(savedAt.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")), address);
}

bool open(WebBrowser *web, const QString &dataPh, int nURL, const QString &address,
          QString *captionOut, QString *error)
{
    const QString path = fileFor(dataPh, nURL);
    const QFileInfo info(path);
    if (!info.isFile()) {
        setError(error,
                 Tr::tr("保存したﾍﾟｰｼﾞがありません: %1").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    web->setArchiveFolder(folderFor(dataPh));
    web->Navigate(info.absoluteFilePath());
    if (captionOut)
        *captionOut = caption(info.lastModified(), address);
    return true;
}

} // namespace PageArchive
