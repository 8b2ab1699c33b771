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
