#include "Store.h"

#include "Schema.h"
#include "platform/Dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <atomic>

namespace Store {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(Store)
};

QString g_path;

QString engineError(const QSqlError &e)
{
    const QString t = e.text().trimmed();
    return t.isEmpty() ? QStringLiteral("unknown error") : t;
}

// SQLite's own mark at the start of every database file.
bool hasSqliteHeader(const QString &path, QString *why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = f.errorString();
        return false;
    }
    if (f.read(16) != QByteArray("SQLite format 3\0", 16)) {
        *why = QStringLiteral("the file is not an SQLite database");
        return false;
    }
    return true;
}

bool runAll(QSqlDatabase &db, const QStringList &statements, QString *why)
{
    QSqlQuery q(db);
    for (const QString &statement : statements) {
        if (!q.exec(statement)) {
            *why = statement + QStringLiteral(" : ") + engineError(q.lastError());
            return false;
        }
    }
    return true;
}

void removeConnection(const QString &name)
{
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// A fresh database is built beside the final file and renamed into place only when complete,
// so a crash during the first start never leaves a half-made collection behind.
bool createFresh(const QString &path, QString *why)
{
    const QString temp = path + QStringLiteral(".new");
    QFile::remove(temp);
    const QString name = connectionName() + QStringLiteral("-create");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(temp);
        if (!db.open()) {
            *why = engineError(db.lastError());
        } else if (!db.transaction()) {
            *why = engineError(db.lastError());
        } else if (!runAll(db, Schema::freshStatements(), why)) {
            db.rollback();
        } else if (!db.commit()) {
            *why = engineError(db.lastError());
        } else {
            ok = true;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    // A journal left by a crash belongs to the file being replaced; next to the new file it
    // would be rolled back into it.
    if (ok) {
        QFile::remove(path + QStringLiteral("-journal"));
        QFile::remove(path);
        QFile file(temp);
        ok = file.rename(path);
        if (!ok)
            *why = path + QStringLiteral(": ") + file.errorString();
    }
    if (!ok)
        QFile::remove(temp);
    return ok;
}

int userVersion(QSqlDatabase &db, QString *why)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        *why = engineError(q.lastError());
        return -1;
    }
    return q.value(0).toInt();
}

bool hasNoTables(QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("Select count(*) From sqlite_master")) && q.next()
        && q.value(0).toInt() == 0;
}

bool upgrade(QSqlDatabase &db, int from, QString *why)
{
    if (!db.transaction()) {
        *why = engineError(db.lastError());
        return false;
    }
    if (!runAll(db, Schema::upgradeStatements(from), why)) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        *why = engineError(db.lastError());
        db.rollback();
        return false;
    }
    return true;
}

} // namespace

int schemaVersion()
{
    return Schema::kVersion;
}

namespace {
thread_local QString t_reader; // the connection of this thread's Reader, if any
}

QString connectionName()
{
    return t_reader.isEmpty() ? QStringLiteral("linkwell") : t_reader;
}

Reader::Reader(const QString &file)
{
    static std::atomic<int> made {0};
    m_name = QStringLiteral("linkwell-reader-%1").arg(++made);
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        d.setDatabaseName(file);
        d.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        m_open = !file.isEmpty() && d.open();
        if (!m_open)
            m_error = file.isEmpty() ? QStringLiteral("the link database is not open")
                                     : engineError(d.lastError());
    }
    if (m_open)
        t_reader = m_name;
    else
        QSqlDatabase::removeDatabase(m_name);
}

Reader::~Reader()
{
    if (!m_open)
        return;
    t_reader.clear();
    removeConnection(m_name);
}

QSqlDatabase db()
{
    return QSqlDatabase::database(connectionName(), false);
}

bool isOpen()
{
    const QSqlDatabase d = db();
    return d.isValid() && d.isOpen();
}

QString path()
{
    return g_path;
}

bool OpenDb(const QString &path, QString *error)
{
    CloseDb();
    QSqlDatabase d;
    auto fail = [&](const QString &why) {
        d = QSqlDatabase(); // the connection can only go once no handle is left
        removeConnection(connectionName());
        if (error)
            *error = Tr::tr("ﾃﾞｰﾀｰﾍﾞｰｽ %1 が開けません: %2").arg(path, why);
        return false;
    };
    const QFileInfo info(path);
    QString why;
    // A file a crash left empty holds nothing: it is made anew like a missing one.
    if ((!info.exists() || (info.isFile() && info.size() == 0)) && !createFresh(path, &why))
        return fail(why);
    if (!hasSqliteHeader(path, &why))
        return fail(why);
    d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName());
    d.setDatabaseName(path);
    if (!d.open())
        return fail(engineError(d.lastError()));
    // The first read rolls back a hot journal. A database the crash left without any table
    // was never finished and is made anew.
    int version = userVersion(d, &why);
    if (version < 0)
        return fail(why);
    if (version == 0 && hasNoTables(d)) {
        d = QSqlDatabase();
        removeConnection(connectionName());
        if (!createFresh(path, &why))
            return fail(why);
        return OpenDb(path, error);
    }
    if (!Schema::looksLikeLinkDatabase(d, &why))
        return fail(why);
    version = qMax(version, 1);
    if (version > Schema::kVersion) {
        return fail(Tr::tr("ﾃﾞｰﾀｰﾍﾞｰｽの版 %1 は、このﾌﾟﾛｸﾞﾗﾑが扱える版 %2 より新しいです")
                        .arg(QString::number(version), QString::number(Schema::kVersion)));
    }
    if (version < Schema::kVersion && !upgrade(d, version, &why))
        return fail(why);
    // Writes are few and user-paced: every commit reaches the disk before it counts.
    QSqlQuery q(d);
    q.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
    q.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
    q.exec(QStringLiteral("PRAGMA synchronous = FULL"));
    g_path = path;
    return true;
}

void CloseDb()
{
    if (QSqlDatabase::contains(connectionName()))
        removeConnection(connectionName());
}

bool CompactDb(const std::function<bool()> &keepGoing, const std::function<void()> &workEnded)
{
    QString why;
    bool cancelled = false;
    if (!isOpen()) {
        why = QStringLiteral("the link database is not open");
    } else {
        sqlite3 *handle = nullptr;
        const QVariant h = db().driver()->handle();
        if (keepGoing && h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
            handle = *static_cast<sqlite3 *const *>(h.constData());
        // The engine asks now and then whether to go on; a stop rolls everything back.
        struct Asking
        {
            const std::function<bool()> *keepGoing;
            bool *cancelled;
        } asking {&keepGoing, &cancelled};
        if (handle) {
            sqlite3_progress_handler(
                handle, 1000,
                [](void *p) -> int {
                    auto *a = static_cast<Asking *>(p);
                    *a->cancelled = !(*a->keepGoing)();
                    return *a->cancelled ? 1 : 0;
                },
                &asking);
        }
        QSqlQuery q(db());
        if (!q.exec(QStringLiteral("VACUUM")))
            why = engineError(q.lastError());
        if (handle)
            sqlite3_progress_handler(handle, 0, nullptr, nullptr);
    }
    if (workEnded)
        workEnded();
    if (cancelled) {
        Dialogs::message(Tr::tr("%1 の最適化を中止しました").arg(g_path));
        return false;
    }
    if (!why.isEmpty()) {
        Dialogs::message(Tr::tr("%1 を最適化できませんでした: %2").arg(g_path, why));
        return false;
    }
    Dialogs::message(Tr::tr("%1 を最適化しました").arg(g_path));
    return true;
}

} // namespace Store
