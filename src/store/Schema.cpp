#include "Schema.h"
#include "Records.h"

#include <QSqlError>
#include <QSqlQuery>

namespace Schema {
namespace {

// The statements that take a database from the version before to the version at that index.
const QStringList &steps(int version)
{
    static const QList<QStringList> all = {
        {}, // 0: nothing
        {
            // 1
            QStringLiteral("Create Table tURL (nURL INTEGER PRIMARY KEY, sURL TEXT COLLATE NOCASE,"
                           " nGrp INTEGER NOT NULL DEFAULT 0, sNam TEXT COLLATE NOCASE, sMem TEXT "
                           "COLLATE NOCASE,"
                           " gSrt REAL NOT NULL DEFAULT 0)"),
            QStringLiteral("Create Table mGrp (nGrp INTEGER PRIMARY KEY, sGrp TEXT COLLATE NOCASE,"
                           " gSrt REAL NOT NULL DEFAULT 0)"),
            QStringLiteral("Create Index ixURL On tURL (sURL COLLATE NOCASE)"),
            QStringLiteral("Create Index ixURLGroup On tURL (nGrp)"),
            QStringLiteral("Insert Into mGrp (nGrp, sGrp, gSrt) Values (0, '未分類', 0)"),
        },
        {
            // 2: when each link was added, in seconds since 1970
            QStringLiteral("Create Table tURLInfo (nURL INTEGER PRIMARY KEY, nAdded INTEGER)"),
        },
        {
            // 3: every link check's result, in the order the results came (nChk); nAt in
            // seconds since 1970, nVerdict 0 alive, 1 dead, 2 uncertain.
            QStringLiteral("Create Table tURLCheck (nChk INTEGER PRIMARY KEY, nURL INTEGER NOT "
                           "NULL, nAt INTEGER NOT NULL, nVerdict INTEGER NOT NULL, nStatus "
                           "INTEGER NOT NULL DEFAULT 0, sFinal TEXT, sMoved TEXT)"),
            QStringLiteral("Create Index ixURLCheck On tURLCheck (nURL)"),
        },
        {
            // 4: a link's tags as its bookmark file wrote them (TAGS), to be written back
            QStringLiteral("Create Table tURLTag (nURL INTEGER PRIMARY KEY, sTags TEXT)"),
        },
    };
    static_assert(kVersion == 4);
    return all.at(version);
}

QString engineError(const QSqlError &e)
{
    const QString t = e.text().trimmed();
    return t.isEmpty() ? QStringLiteral("unknown error") : t;
}

// SQLite's affinity rules for a declared type: only INTEGER, REAL and NUMERIC turn numbers
// written as text into numbers.
bool holdsNumbers(const QString &declared)
{
    const QString t = declared.toUpper();
    if (t.contains(u"INT"))
        return true;
    for (const char *text : {"CHAR", "CLOB", "TEXT", "BLOB"}) {
        if (t.contains(QLatin1String(text)))
            return false;
    }
    return !t.isEmpty();
}

QString versionMark()
{
    return QStringLiteral("PRAGMA user_version = %1").arg(kVersion);
}

} // namespace

QStringList freshStatements()
{
    QStringList all;
    for (int v = 1; v <= kVersion; ++v)
        all += steps(v);
    return all << versionMark();
}

QStringList upgradeStatements(int from)
{
    QStringList all;
    for (int v = from + 1; v <= kVersion; ++v)
        all += steps(v);
    return all << versionMark();
}

bool looksLikeLinkDatabase(QSqlDatabase &db, QString *why)
{
    const struct
    {
        const char *table;
        QStringList columns;
        const char *key;
    } expected[] = {
        {"turl", {"nurl", "surl", "ngrp", "snam", "smem", "gsrt"}, "nurl"},
        {"mgrp", {"ngrp", "sgrp", "gsrt"}, "ngrp"},
    };
    for (const auto &t : expected) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QString::fromLatin1(t.table)))) {
            *why = engineError(q.lastError());
            return false;
        }
        QStringList columns;
        bool numberKey = false;
        QString textColumn;
        while (q.next()) {
            const QString name = q.value(1).toString().toLower();
            columns << name;
            // Numbers a column of text holds would be read and written back wrong.
            if ((name == u"ngrp" || name == u"gsrt") && !holdsNumbers(q.value(2).toString())
                && textColumn.isEmpty())
                textColumn
                    = QStringLiteral("the column %1 of %2 is declared \"%3\", not as numbers")
                          .arg(q.value(1).toString(), QString::fromLatin1(t.table),
                               q.value(2).toString());
            // Keys compared as text would hand out numbers that exist ("99" > "100").
            if (name == QLatin1String(t.key))
                numberKey
                    = q.value(2).toString().contains(QLatin1String("INT"), Qt::CaseInsensitive)
                    && q.value(5).toInt() > 0;
        }
        if (columns.isEmpty()) {
            *why = QStringLiteral("the table %1 is missing").arg(QString::fromLatin1(t.table));
            return false;
        }
        for (const QString &c : t.columns) {
            if (!columns.contains(c)) {
                *why = QStringLiteral("the column %1 is missing").arg(c);
                return false;
            }
        }
        if (!numberKey) {
            *why = QStringLiteral("the column %1 is not a whole-number key")
                       .arg(QString::fromLatin1(t.key));
            return false;
        }
        if (!textColumn.isEmpty()) {
            *why = textColumn;
            return false;
        }
    }
    return true;
}

} // namespace Schema
