#pragma once

#include <QString>
#include <QStringList>

// Every path inside the user data folder, so that no other file spells them. The folder is
// given as the program holds it (Usr::sDataPh: ends in "/").
namespace DataFolder {

QString database(const QString &dataPh); // dbLink.mdb
QString settings(const QString &dataPh); // User.xml
QString lock(const QString &dataPh); // linkwell.lock
QString pictures(const QString &dataPh); // Pic/
QString copies(const QString &dataPh); // Arc/
QString documents(const QString &dataPh); // Doc (the folder first offered for outputs)
QString indexes(const QString &dataPh); // Idx/: derived data, rebuilt when missing
QString textIndex(const QString &dataPh); // Idx/text.db: the pages' text for the search
// Pic/<number>.jpg; the number as the list shows it, surrounding spaces ignored.
QString picture(const QString &dataPh, const QString &number);
QString picture(const QString &dataPh, qint64 nURL);
// Whether path names a file the program keeps in the data folder (the database and its
// journals, the settings, the lock, anything in Pic/, Arc/ or Idx/), by canonical paths: an output
// written there would destroy the collection.
bool owns(const QString &dataPh, const QString &path);
// The reason given for such a file, which no output replaces.
QString ownsText();
// The data folder of the database at databasePath.
QString ofDatabase(const QString &databasePath);
// The sub-folders a data folder gets when it is first used.
QStringList subFolders();

} // namespace DataFolder
