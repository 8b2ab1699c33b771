#include "BookmarkTransfer.h"

#include "address/AddressSet.h"
#include "bookmarks/BookmarkExport.h"
#include "bookmarks/XbelFile.h"
#include "platform/DataFolder.h"
#include "platform/TextFile.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(BookmarkTransfer)
};

bool report(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

QString BookmarkTransfer::failed(const QString &why) const
{
    return Tr::tr("ﾌﾞｯｸﾏｰｸ %1 を取り込めません: %2").arg(m_path, why);
}

bool BookmarkTransfer::read(const QString &path, QString *error)
{
    m_path = path;
    m_plan = {};
    m_joined = 0;
    const BookmarkFile file = XbelFile::read(path);
    if (!file.ok())
        return report(error, failed(file.error));

    // What the collection holds already: its groups, its addresses, its highest number.
    QString why;
    QList<GroupRecord> groups;
    AddressSet known;
    qint64 first = 0;
    const bool readable = LinkStore::forEachGroup(
                              [&](const LinkStore::GroupView &g) {
                                  groups.append({g.nGrp, QString::fromUtf8(g.sGrp), g.gSrt});
                              },
                              &why)
        && LinkStore::forEachAddress([&](qint64, const QString &a) { known.insert(a); }, &why)
        && LinkStore::nextLinkNumber(first, &why);
    if (!readable)
        return report(error, failed(why));
    // The numbers the import would give must not pass the highest one.
    qint64 lastGroup = 0;
    for (const GroupRecord &g : groups)
        lastGroup = qMax(lastGroup, g.nGrp);
    // Compared as room left, so that nothing is added past the highest number.
    if (qint64(file.links.size()) - 1 > kMaxNumber - first
        || qint64(file.folders.size()) > kMaxNumber - lastGroup)
        return report(error, failed(LinkStore::numberLimitText()));
    m_plan = BookmarkImport::plan(
        file, groups, [&](const QString &a) { return known.contains(a); }, first);
    m_joined = file.joinedFolders;
    // A file in which no link could be read is no import: say so as a failure.
    if (m_plan.linksRead == 0 && !hasWork())
        return report(error, question());
    return true;
}

QString BookmarkTransfer::counts() const
{
    QString text
        = Tr::tr("ﾘﾝｸ　%1 件\n新しい分類　%2 件\n重複で省いたﾘﾝｸ　%3 件\n"
                 "読めなかった行　%4 行")
              .arg(QString::number(m_plan.links.size()), QString::number(m_plan.newGroups.size()),
                   QString::number(m_plan.duplicates), QString::number(m_plan.skippedLines));
    if (m_plan.merged > 0)
        text += Tr::tr("\nﾌｧｲﾙ内の同じｱﾄﾞﾚｽをまとめたﾘﾝｸ　%1 件")
                    .arg(QString::number(m_plan.merged));
    if (m_plan.caseTwins > 0)
        text += Tr::tr("\n大文字小文字だけ違う名前でまとめたﾌｫﾙﾀﾞ　%1 件")
                    .arg(QString::number(m_plan.caseTwins));
    if (m_joined > 0)
        text += Tr::tr("\n%1 段より深く、上のﾌｫﾙﾀﾞにまとめたﾌｫﾙﾀﾞ　%2 件")
                    .arg(QString::number(BookmarkFile::kMaxDepth), QString::number(m_joined));
    return text;
}

QString BookmarkTransfer::question() const
{
    if (!hasWork())
        return Tr::tr("ﾌﾞｯｸﾏｰｸ %1 に取り込むﾘﾝｸがありません\n\n%2").arg(m_path, counts());
    return Tr::tr("ﾌﾞｯｸﾏｰｸ %1 を取り込みます\n\n%2\n\n取り込んで良いですか").arg(m_path, counts());
}

BookmarkTransfer::Result BookmarkTransfer::write(const LinkStore::ProgressFn &progress,
                                                 QString *error)
{
    QString why;
    const LinkStore::ImportResult result
        = LinkStore::importLinks(m_plan.newGroups, m_plan.links, progress, &why, m_plan.tags);
    if (result == LinkStore::ImportResult::Failed)
        report(error, failed(why));
    return result;
}

BookmarkTransfer::Format BookmarkTransfer::formatOf(const QString &path)
{
    return path.endsWith(QLatin1String(".xbel"), Qt::CaseInsensitive) ? Format::Xbel
                                                                      : Format::Netscape;
}

QString BookmarkTransfer::chosenFile(const QString &path, Format chosen, Format *format)
{
    if (path.isEmpty())
        return path;
    *format = formatOf(path) == Format::Xbel ? Format::Xbel : chosen;
    if (!QFileInfo(path).suffix().isEmpty() || path.endsWith(u'.'))
        return path;
    return path + (chosen == Format::Xbel ? QStringLiteral(".xbel") : QStringLiteral(".html"));
}

bool BookmarkTransfer::exportStream(const std::function<bool(QByteArrayView)> &sink, int *links,
                                    QString *error, const std::function<bool()> &keepGoing,
                                    Format format)
{
    QList<GroupRecord> groups;
    QString why;
    if (!LinkStore::forEachGroup(
            [&](const LinkStore::GroupView &g) {
                groups.append({g.nGrp, QString::fromUtf8(g.sGrp), g.gSrt});
            },
            &why))
        return report(error, Tr::tr("ﾘﾝｸの読み込みに失敗しました: %1").arg(why));
    int count = 0;
    bool stopped = false;
    bool readable = true;
    QString url, title, memo, tags;
    const bool written = BookmarkExport::write(
        groups,
        [&](std::optional<qint64> nGrp, const BookmarkExport::LinkFn &each) {
            readable = LinkStore::forEachLinkToExport(
                nGrp,
                [&](const LinkStore::LinkView &v) {
                    if (stopped || (keepGoing && count % 1000 == 999 && !keepGoing())) {
                        stopped = true;
                        return;
                    }
                    ++count;
                    url = QString::fromUtf8(v.sURL);
                    title = QString::fromUtf8(v.sNam);
                    memo = QString::fromUtf8(v.sMem);
                    tags = QString::fromUtf8(v.sTags);
                    each({v.nURL, url, title, memo, v.added, tags});
                },
                &why);
            return readable && !stopped;
        },
        sink, format);
    if (!readable)
        return report(error, Tr::tr("ﾘﾝｸの読み込みに失敗しました: %1").arg(why));
    if (stopped || (keepGoing && !keepGoing())) {
        if (error)
            error->clear();
        return false;
    }
    if (!written) // the sink said why
        return false;
    if (links)
        *links = count;
    return true;
}

bool BookmarkTransfer::exportBytes(QByteArray &out, int *links, QString *error,
                                   const std::function<bool()> &keepGoing, Format format)
{
    QByteArray bytes;
    if (!exportStream(
            [&bytes](QByteArrayView b) {
                bytes.append(b);
                return true;
            },
            links, error, keepGoing, format))
        return false;
    out = std::move(bytes);
    return true;
}

bool BookmarkTransfer::exportTo(const QString &path, int *links, QString *error,
                                const std::function<bool()> &keepGoing,
                                std::optional<Format> format)
{
    if (Store::isOpen() && DataFolder::owns(DataFolder::ofDatabase(Store::path()), path))
        return report(error, TextFile::writeFailedText(path, DataFolder::ownsText()));
    // Rows go to the file as they are read; the old file is replaced only when all is written.
    QString why, readError;
    const bool written = TextFile::writeAtomicStream(
        path,
        [&](const TextFile::WriteFn &write) {
            return exportStream(write, links, &readError, keepGoing,
                                format.value_or(formatOf(path)));
        },
        &why);
    if (written)
        return true;
    if (!why.isEmpty())
        return report(error, TextFile::writeFailedText(path, why));
    if (error)
        *error = readError; // empty when stopped
    return false;
}

QString BookmarkTransfer::exportedText(const QString &path, int links)
{
    return Tr::tr("%n 件のﾘﾝｸを %1 に書き出しました", nullptr, links).arg(path);
}
