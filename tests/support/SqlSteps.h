#pragma once

#include "store/Sql.h"

#include <QTest>

// Statements a window test runs on the open link database around the window.
namespace SqlSteps {

inline Sql::Rows rows(const QString &sql)
{
    QString error;
    return Sql::query(Sql::SetPrm(sql, {}), &error);
}

// A statement that must succeed; a failure fails the calling test.
inline void exec(const QString &sql, const QVariantList &values = {})
{
    QString error;
    QVERIFY2(Sql::exec(Sql::SetPrm(sql, values), &error), qPrintable(error));
}

} // namespace SqlSteps
