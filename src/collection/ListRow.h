#pragma once

#include <QList>
#include <QString>

// One row of the main window's link list as the outputs see it: number, address, group name,
// title and description, exactly as the list holds them.
struct ListRow
{
    QString nURL, sURL, sGrp, sNam, sMem;
};
