#include "OutputFile.h"
#include "platform/DataFolder.h"

#include "platform/Dialogs.h"
#include "platform/TextFile.h"
#include "store/Store.h"

#include <QCoreApplication>

namespace OutputFile {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(OutputFile)
};

} // namespace

QString proposedName(bool bHtm, const QString &groupText)
{
    QString name = groupText;
    if (name == u"*" || name.trimmed().isEmpty())
        name = QStringLiteral("Portal");
    // A group name may hold characters a file name cannot; the user still sees and may change
    // the proposal.
    for (QChar &c : name) {
        if (c.unicode() < 0x20 || QStringView(u"/\\:*?\"<>|").contains(c))
            c = u'_';
    }
    return name + (bHtm ? QStringLiteral(".htm") : QStringLiteral(".docx"));
}

QString AskFile(bool bHtm, const QString &groupText, const QString &dataPh)
{
    Dialogs::SaveRequest req;
    if (bHtm) {
        req.title = Tr::tr("作成するHTM");
        req.filterText = Tr::tr("HTM ﾌｧｲﾙ (*.htm;*.html)");
        req.patterns = {QStringLiteral("*.htm"), QStringLiteral("*.html")};
    } else {
        req.title = Tr::tr("作成するDOC");
        req.filterText = Tr::tr("ﾜｰﾄﾞ文書 (*.doc;*.docx)");
        req.patterns = {QStringLiteral("*.doc"), QStringLiteral("*.docx")};
    }
    req.folder = DataFolder::documents(dataPh);
    req.fileName = proposedName(bHtm, groupText);
    return Dialogs::saveFileName(req);
}

bool SaveBytes(const QString &sPath, const QByteArray &bytes)
{
    if (sPath.isEmpty())
        return false;
    QString reason;
    if (Store::isOpen() && DataFolder::owns(DataFolder::ofDatabase(Store::path()), sPath))
        reason = DataFolder::ownsText();
    if (!reason.isEmpty() || !TextFile::writeAtomic(sPath, bytes, &reason)) {
        Dialogs::message(TextFile::writeFailedText(sPath, reason));
        return false;
    }
    return true;
}

} // namespace OutputFile
