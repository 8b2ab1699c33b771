#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

// The link database: one SQLite file, one connection for the whole run.
namespace Store {

QString connectionName();
QSqlDatabase db();
bool isOpen();

// Opens path, creating a fresh database when the file does not exist. A file that is not a
// link database (or cannot be opened) gives false with the engine's reason in *error; the
// file is then left untouched.
bool OpenDb(const QString &path, QString *error = nullptr);
void CloseDb();
// Compacts in place; on success shows path + " を最適化しました". A failure shows the engine's
// error; the database stays open and intact either way.
bool CompactDb();

} // namespace Store
