#pragma once

#include "store/GroupList.h"

#include <QString>
#include <QVariantList>

class yIni;

// Program-wide state and the small routines the windows share.
namespace Usr {

// Program name: the executable's name without extension and without a trailing "_dv".
extern QString sPgName;
// The user data folder; always ends in "/".
extern QString sDataPh;
// The one settings object, alive from start-up to EndApp.
extern yIni *Ini;
// The group list as last read from mGrp.
extern GroupList sGrpList;

// sPgName from an executable's file name ("Sample_dv" and "Sample_DV" give "Sample").
QString programNameFrom(const QString &executablePath);

// The number for a new link: highest nURL + 1, 100 for an empty table.
qint64 NewURLNo(bool *ok = nullptr);
// The number for a new group: highest nGrp + 1, 1 for an empty table.
qint64 NewGrpNo(bool *ok = nullptr);
// The number of the group of sGrpList named name (GroupList::numberOf); 0 when there is none.
qint64 GrpNoOf(const QString &name);

// Removes suffix from the end of s when s ends in it exactly.
void CutEnd(QString &s, const QString &suffix);

// The desktop work area: left, right, top, bottom, in pixels or in twips.
void GetWkArea(int &x1, int &x2, int &y1, int &y2, bool twips);

} // namespace Usr
