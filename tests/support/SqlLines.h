#pragma once

#include "support/SqlSteps.h"

#include <QStringList>

// What a query finds in the open link database, a line per row with its values joined by "|"
// ("4|News|7"), so that a test states the expected rows one line each.
namespace SqlLines {

inline QStringList of(const char *sql)
{
    QStringList lines;
    for (const QVariantList &row : SqlSteps::rows(QString::fromUtf8(sql))) {
        QStringList values;
        for (const QVariant &v : row)
            values << v.toString();
        lines << values.join(u'|');
    }
    return lines;
}

} // namespace SqlLines
