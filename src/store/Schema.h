#pragma once

#include <QSqlDatabase>
#include <QStringList>

// The tables of the link database and the steps from each version to the next. tURL and mGrp
// never change: stored files and the statement catalogue rely on them; new data live in new
// tables keyed by nURL.
namespace Schema {

// 1: tURL, mGrp. 2: tURLInfo (date added). 3: tURLCheck (link check history). 4: tURLTag (the
// tags a bookmark file gave a link).
inline constexpr int kVersion = 4;

// Everything a new database gets, its version included.
QStringList freshStatements();
// The steps from version `from` to kVersion, the version mark included.
QStringList upgradeStatements(int from);

// Both tables with the columns the program reads, and whole numbers as their keys.
bool looksLikeLinkDatabase(QSqlDatabase &db, QString *why);

} // namespace Schema
