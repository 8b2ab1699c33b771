#include "Usr.h"

#include "platform/Dialogs.h"
#include "platform/NumberText.h"
#include "store/LinkStore.h"

#include <QCoreApplication>

#include <cmath>

namespace Usr {
namespace {

int reported(bool done, int n, const QString &error, bool *ok)
{
    if (!done)
        Dialogs::message(QCoreApplication::translate("Usr", "番号を決められません: %1").arg(error));
    if (ok)
        *ok = done;
    return done ? n : 0;
}

} // namespace

int NewURLNo(bool *ok)
{
    int n = 0;
    QString error;
    const bool done = LinkStore::nextLinkNumber(n, &error);
    return reported(done, n, error, ok);
}

int NewGrpNo(bool *ok)
{
    int n = 0;
    QString error;
    const bool done = LinkStore::nextGroupNumber(n, &error);
    return reported(done, n, error, ok);
}

int GrpNoOf(const QString &name)
{
    return GrpNoOf(name, sGrpList);
}

int GrpNoOf(const QString &name, const QString &groupList)
{
    qsizetype start = 0;
    while (start < groupList.size()) {
        qsizetype end = groupList.indexOf(u'\r', start);
        if (end < 0)
            end = groupList.size();
        const QStringView record = QStringView(groupList).mid(start, end - start);
        const qsizetype tab = record.indexOf(u'\t');
        if (tab >= 0 && record.left(tab).compare(name, Qt::CaseInsensitive) == 0)
            return int(std::lround(NumberText::lenient(record.mid(tab + 1).toString())));
        start = end + 1;
    }
    return 0;
}

} // namespace Usr
