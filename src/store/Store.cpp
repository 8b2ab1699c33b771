#include "Store.h"

#include "Sql.h"
#include "platform/Dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace Store {
namespace {

QString g_path;

const char *const kSchema[] = {
    "Create Table tURL (nURL INTEGER PRIMARY KEY, sURL TEXT COLLATE NOCASE,"
    " nGrp INTEGER NOT NULL DEFAULT 0, sNam TEXT COLLATE NOCASE, sMem TEXT COLLATE NOCASE,"
    " gSrt REAL NOT NULL DEFAULT 0)",
    "Create Table mGrp (nGrp INTEGER PRIMARY KEY, sGrp TEXT COLLATE NOCASE,"
    " gSrt REAL NOT NULL DEFAULT 0)",
    "Create Index ixURL On tURL (sURL COLLATE NOCASE)",
    "Create Index ixURLGroup On tURL (nGrp)",
    "Insert Into mGrp (nGrp, sGrp, gSrt) Values (0, '未分類', 0)",
};

QString engineError(const QSqlError &e)
{
    const QString t = e.text().trimmed();
    return t.isEmpty() ? QStringLiteral("unknown error") : t;
}

// The file holds both tables with the columns the program reads.
bool looksLikeLinkDatabase(QSqlDatabase &db, QString *why)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("Select name From sqlite_master Where type='table'"))) {
        *why = engineError(q.lastError());
        return false;
    }
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString().toLower();
    const struct
    {
        const char *table;
        QStringList columns;
    } expected[] = {
        {"turl", {"nurl", "surl", "ngrp", "snam", "smem", "gsrt"}},
        {"mgrp", {"ngrp", "sgrp", "gsrt"}},
    };
    for (const auto &t : expected) {
        if (!tables.contains(QString::fromLatin1(t.table))) {
            *why = QStringLiteral("the table %1 is missing").arg(QString::fromLatin1(t.table));
            return false;
        }
        const QSqlRecord rec = db.record(QString::fromLatin1(t.table));
        for (const QString &c : t.columns) {
            bool found = false;
            for (int i = 0; i < rec.count(); ++i)
                found = found || rec.fieldName(i).toLower() == c;
            if (!found) {
                *why = QStringLiteral("the column %1 is missing").arg(c);
                return false;
            }
        }
    }
    return true;
}

bool createSchema(QSqlDatabase &db, QString *why)
{
    if (!db.transaction()) {
        *why = engineError(db.lastError());
        return false;
    }
    QSqlQuery q(db);
    for (const char *statement : kSchema) {
        if (!q.exec(QString::fromUtf8(statement))) {
            *why = engineError(q.lastError());
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        *why = engineError(db.lastError());
        return false;
    }
    return true;
}

void removeConnection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName(), false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName());
}

} // namespace

QString connectionName() { return QStringLiteral("linkwell"); }

QSqlDatabase db() { return QSqlDatabase::database(connectionName(), false); }

bool isOpen()
{
    const QSqlDatabase d = db();
    return d.isValid() && d.isOpen();
}

bool OpenDb(const QString &path, QString *error)
{
    CloseDb();
    QSqlDatabase d;
    auto fail = [&](const QString &why) {
        d = QSqlDatabase(); // the connection can only go once no handle is left
        removeConnection();
        if (error)
            *error = QStringLiteral("ﾃﾞｰﾀｰﾍﾞｰｽ ") + path + QStringLiteral(" が開けません: ") + why;
        return false;
    };
    const bool fresh = !QFileInfo::exists(path);
    d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName());
    d.setDatabaseName(path);
    // An existing file is only read until it has proved to be a link database.
    if (!fresh)
        d.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!d.open())
        return fail(engineError(d.lastError()));
    QString why;
    if (fresh) {
        if (!createSchema(d, &why)) {
            d.close();
            QFile::remove(path);
            return fail(why);
        }
    } else {
        if (!looksLikeLinkDatabase(d, &why))
            return fail(why);
        d.close();
        d.setConnectOptions(QString());
        if (!d.open())
            return fail(engineError(d.lastError()));
    }
    QSqlQuery q(d);
    q.exec(QStringLiteral("PRAGMA foreign_keys = OFF"));
    q.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    g_path = path;
    return true;
}

void CloseDb()
{
    if (QSqlDatabase::contains(connectionName()))
        removeConnection();
}

bool CompactDb()
{
    QString why;
    if (!isOpen()) {
        why = QStringLiteral("the link database is not open");
    } else {
        QSqlQuery q(db());
        if (!q.exec(QStringLiteral("VACUUM")))
            why = engineError(q.lastError());
    }
    if (!why.isEmpty()) {
        Dialogs::message(g_path + QStringLiteral(" を最適化できませんでした: ") + why);
        return false;
    }
    Dialogs::message(g_path + QStringLiteral(" を最適化しました"));
    return true;
}

} // namespace Store
