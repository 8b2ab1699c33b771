#pragma once

#include <QString>

// One row of tURL and one row of mGrp; group 0 stands for no group.
struct LinkRecord
{
    int nURL = 0;
    QString sURL;
    int nGrp = 0;
    QString sNam;
    QString sMem;
    double gSrt = 0;
};

struct GroupRecord
{
    int nGrp = 0;
    QString sGrp;
    double gSrt = 0;
};

// A link with the time it was added, in seconds since 1970; 0 when it is not known.
struct DatedLink
{
    LinkRecord link;
    qint64 added = 0;
};
Q_DECLARE_TYPEINFO(DatedLink, Q_RELOCATABLE_TYPE);
