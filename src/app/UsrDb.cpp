#include "Usr.h"

#include "platform/Dialogs.h"
#include "platform/NumberText.h"
#include "store/LinkStore.h"

#include <QCoreApplication>

#include <cmath>

namespace Usr {
namespace {

qint64 reported(bool done, qint64 n, const QString &error, bool *ok)
{
    if (!done)
        Dialogs::message(QCoreApplication::translate("Usr", "番号を決められません: %1").arg(error));
    if (ok)
        *ok = done;
    return done ? n : 0;
}

} // namespace

qint64 NewURLNo(bool *ok)
{
    qint64 n = 0;
    QString error;
    const bool done = LinkStore::nextLinkNumber(n, &error);
    return reported(done, n, error, ok);
}

qint64 NewGrpNo(bool *ok)
{
    qint64 n = 0;
    QString error;
    const bool done = LinkStore::nextGroupNumber(n, &error);
    return reported(done, n, error, ok);
}

qint64 GrpNoOf(const QString &name)
{
    return sGrpList.numberOf(name);
}

} // namespace Usr
