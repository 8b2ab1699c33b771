#pragma once

#include <QSqlDatabase>
#include <QString>

#include <functional>

// The link database: one SQLite file, one connection for the whole run.
namespace Store {

// The schema version this program writes (PRAGMA user_version). Files made before versions
// were recorded read 0 and count as version 1.
int schemaVersion();

QString connectionName();
QSqlDatabase db();
bool isOpen();
QString path();

// Opens path. A missing or empty file gets a fresh database, built in a temporary file and
// renamed into place once complete. An existing file is opened read-write (so that SQLite can
// roll back what a crash left half-written), then checked: a file that is not a link database,
// or of a newer version, gives false with the reason in *error and is left untouched. An older
// version is upgraded in one transaction.
bool OpenDb(const QString &path, QString *error = nullptr);
void CloseDb();
// Compacts in place; on success shows path + " を最適化しました". A failure shows the engine's
// error; the database stays open and intact either way. keepGoing, when given, is asked now
// and then during the work; false stops it, and the file stays as it was. workEnded, when
// given, is called when the work has ended, before any message.
bool CompactDb(const std::function<bool()> &keepGoing = {},
               const std::function<void()> &workEnded = {});

// A read-only connection of its own to the open database for the thread that makes it: while it
// lives, every read on that thread goes through it, so that a worker can read the collection
// while the window's thread keeps the main connection. Made on the thread that uses it.
class Reader
{
public:
    explicit Reader(const QString &file); // Store::path() of the open database
    ~Reader();
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;
    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }

private:
    QString m_name;
    bool m_open = false;
    QString m_error;
};

} // namespace Store
