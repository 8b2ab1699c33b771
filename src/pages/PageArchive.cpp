#include "PageArchive.h"
#include "platform/DataFolder.h"

#include "pages/PageImage.h"
#include "platform/TextFile.h"
#include "platform/WebBrowser.h"
#include "store/LinkStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QUrl>

#include <optional>

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

const QByteArray kAddressHeader = QByteArrayLiteral("X-Link-Address: ");
// The same line in an HTML copy, where it must be markup that shows nothing.
const QByteArray kHtmlHeadOpen = QByteArrayLiteral("<!-- ");
const QByteArray kHtmlHeadClose = QByteArrayLiteral(" -->");

// A page and its anchors are one page.
QUrl pageOf(const QString &address)
{
    return QUrl(address).adjusted(QUrl::RemoveFragment);
}

} // namespace

QString folderFor(const QString &dataPh)
{
    return DataFolder::copies(dataPh);
}

QString fileFor(const QString &dataPh, qint64 nURL)
{
    return folderFor(dataPh) + QString::number(nURL) + QStringLiteral(".mhtml");
}

QString htmlFileFor(const QString &dataPh, qint64 nURL)
{
    return folderFor(dataPh) + QString::number(nURL) + QStringLiteral(".html");
}

QString copyOf(const QString &dataPh, qint64 nURL)
{
    for (const QString &path : {fileFor(dataPh, nURL), htmlFileFor(dataPh, nURL)}) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

bool keepHtml(const QString &dataPh, qint64 nURL, const QString &address, const QByteArray &html,
              QString *error)
{
    if (html.isEmpty()) {
        setError(error, Tr::tr("ﾍﾟｰｼﾞが空です"));
        return false;
    }
    if (html.size() > kMaxHtmlBytes) {
        setError(error,
                 Tr::tr("%1 MB を超えるため残しません (%2 MB)")
                     .arg(QString::number(kMaxHtmlBytes / (1024 * 1024)), megabytes(html.size())));
        return false;
    }
    if (!QDir().mkpath(folderFor(dataPh))) {
        setError(
            error,
            Tr::tr("ﾌｫﾙﾀﾞ %1 を作成できません").arg(QDir::toNativeSeparators(folderFor(dataPh))));
        return false;
    }
    const QByteArray head
        = kHtmlHeadOpen + kAddressHeader + QUrl(address).toEncoded() + kHtmlHeadClose + "\r\n";
    const bool ok = TextFile::writeAtomicStream(
        htmlFileFor(dataPh, nURL),
        [&](const TextFile::WriteFn &write) { return write(head) && write(html); }, error);
    if (ok)
        QFile::remove(fileFor(dataPh, nURL));
    return ok;
}

QString partFileFor(const QString &dataPh, qint64 nURL)
{
    return folderFor(dataPh) + QString::number(nURL) + QStringLiteral(".part.mhtml");
}

bool hasCopy(const QString &dataPh, qint64 nURL)
{
    return !copyOf(dataPh, nURL).isEmpty() || inFlight().contains(partFileFor(dataPh, nURL));
}

bool commit(const QString &part, const QString &path, const QString &address, QString *error)
{
    const QFileInfo info(part);
    if (!info.isFile()) {
        setError(error, Tr::tr("ﾌｧｲﾙができていません"));
        return false;
    }
    const qint64 size = info.size();
    QByteArray bytes;
    QString why;
    if (size > 0 && size <= kMaxBytes)
        TextFile::readRegular(part, kMaxBytes, &bytes, &why);
    QFile::remove(part);
    if (size == 0 || size > kMaxBytes) {
        setError(error,
                 size == 0 ? Tr::tr("ﾍﾟｰｼﾞが空です")
                           : Tr::tr("%1 MB を超えるため残しません (%2 MB)")
                                 .arg(QString::number(kMaxBytes / (1024 * 1024)), megabytes(size)));
        return false;
    }
    if (!why.isEmpty()) {
        setError(error, why);
        return false;
    }
    // A header line of its own: the copy says which address it shows, so a number used again
    // by another link never shows this page.
    if (!TextFile::writeAtomic(path, kAddressHeader + QUrl(address).toEncoded() + "\r\n" + bytes,
                               error))
        return false;
    // One copy a link: a page sent earlier goes.
    if (path.endsWith(QStringLiteral(".mhtml")))
        QFile::remove(path.chopped(6) + QStringLiteral(".html"));
    return true;
}

QString addressOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // The head ends at its first empty line; the browser's own header serves copies made
    // before the address was recorded.
    QString browsers;
    for (int i = 0; i < 64 && !f.atEnd(); ++i) {
        QByteArray line = f.readLine(8192).trimmed();
        if (line.isEmpty())
            break;
        if (i == 0 && line.startsWith(QByteArray(kHtmlHeadOpen + kAddressHeader))
            && line.endsWith(kHtmlHeadClose))
            line = line.sliced(kHtmlHeadOpen.size()).chopped(kHtmlHeadClose.size());
        if (line.startsWith(kAddressHeader))
            return QString::fromUtf8(
                QUrl::fromEncoded(line.mid(kAddressHeader.size())).toEncoded());
        if (line.startsWith("Snapshot-Content-Location: "))
            browsers = QString::fromUtf8(line.mid(27));
    }
    return browsers;
}

void removeParts(const QString &dataPh)
{
    QDir folder(folderFor(dataPh));
    for (const QString &name :
         folder.entryList({QStringLiteral("*.part.mhtml")}, QDir::Files | QDir::Hidden))
        folder.remove(name);
}

void save(WebBrowser *web, const QString &address, const QString &dataPh, qint64 nURL, Done done)
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
    if (pageOf(web->LocationURL()) != pageOf(address)) {
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
    web->saveArchive(
        part, [part, path, address, nURL, failed, done](bool ok, const QString &reason) {
            inFlight().remove(part);
            QString why = reason;
            // The link may have been deleted meanwhile, and its number given to another address.
            std::optional<QString> now;
            if (ok
                && (!LinkStore::addressOf(nURL, now) || !now || pageOf(*now) != pageOf(address))) {
                ok = false;
                why = Tr::tr("ﾘﾝｸが削除されました");
            }
            if (ok)
                ok = commit(part, path, address, &why);
            else
                QFile::remove(part);
            done(ok, ok ? QString() : failed(why));
        });
}

bool remove(const QString &dataPh, qint64 nURL)
{
    bool gone = true;
    for (const QString &path : {fileFor(dataPh, nURL), htmlFileFor(dataPh, nURL)})
        gone = (QFile::remove(path) || !QFileInfo::exists(path)) && gone;
    return gone;
}

void removeOrphans(const QString &dataPh, const std::vector<qint64> *numbers)
{
    PageImage::removeOrphans(dataPh, numbers, QStringLiteral("arc"), QStringLiteral(".mhtml"));
    PageImage::removeOrphans(dataPh, numbers, QStringLiteral("arc"), QStringLiteral(".html"));
}

QString caption(const QDateTime &savedAt, const QString &address)
{
    return Tr::tr("保存したﾍﾟｰｼﾞ (%1): %2")
        .arg(savedAt.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm")), address);
}

bool open(WebBrowser *web, const QString &dataPh, qint64 nURL, const QString &address,
          QString *captionOut, QString *error)
{
    const QString copy = copyOf(dataPh, nURL);
    const QString path = copy.isEmpty() ? fileFor(dataPh, nURL) : copy;
    const QFileInfo info(path);
    if (!info.isFile()) {
        setError(error,
                 Tr::tr("保存したﾍﾟｰｼﾞがありません: %1").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    const QString recorded = addressOf(path);
    // A file that names no address at all was never made by the browser; it is shown as is.
    if (!recorded.isEmpty() && pageOf(recorded) != pageOf(address)) {
        setError(error,
                 Tr::tr("保存したﾍﾟｰｼﾞ %1 は %2 のﾍﾟｰｼﾞではありません")
                     .arg(QDir::toNativeSeparators(path), address));
        return false;
    }
    web->setArchiveFolder(folderFor(dataPh));
    web->Navigate(info.absoluteFilePath());
    if (captionOut)
        *captionOut = caption(info.lastModified(), address);
    return true;
}

} // namespace PageArchive
