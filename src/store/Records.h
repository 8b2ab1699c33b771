#pragma once

#include <QString>

#include <limits>

// One row of tURL and one row of mGrp; group 0 stands for no group.
// The highest link or group number the program holds: a number is never wrapped past it.
inline constexpr qint64 kMaxNumber = std::numeric_limits<qint64>::max();

struct LinkRecord
{
    qint64 nURL = 0;
    QString sURL;
    qint64 nGrp = 0;
    QString sNam;
    QString sMem;
    double gSrt = 0;
};

struct GroupRecord
{
    qint64 nGrp = 0;
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

// One link check's result as the history keeps it.
struct CheckRecord
{
    enum Verdict { Alive = 0, Dead = 1, Uncertain = 2 };

    qint64 nURL = 0;
    qint64 at = 0; // seconds since 1970
    int verdict = Dead;
    int status = 0; // HTTP status of the final answer; 0 without one
    QString finalAddress;
    QString movedTo; // where a permanent redirect led; empty without one
};
