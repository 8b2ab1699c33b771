#include "Usr.h"

#include "platform/Twips.h"

#include <QFileInfo>

namespace Usr {

GroupList sGrpList;

QString programNameFrom(const QString &executablePath)
{
    QString name = QFileInfo(executablePath).completeBaseName();
    if (name.right(3).toLower() == u"_dv")
        name.chop(3);
    return name;
}

void CutEnd(QString &s, const QString &suffix)
{
    if (!suffix.isEmpty() && s.endsWith(suffix))
        s.chop(suffix.size());
}

void GetWkArea(int &x1, int &x2, int &y1, int &y2, bool twips)
{
    const Twips::Area a = Twips::workArea(twips);
    x1 = a.x1;
    x2 = a.x2;
    y1 = a.y1;
    y2 = a.y2;
}

} // namespace Usr
