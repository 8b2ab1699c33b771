#include "Sql.h"

#include "Store.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sqlite3.h>

#include <algorithm>
#include <vector>

namespace Sql {
namespace {

QString describe(const Statement &st, const QSqlError &e)
{
    const QString why
        = e.text().trimmed().isEmpty() ? QStringLiteral("unknown error") : e.text().trimmed();
    return st.sql.trimmed() + QStringLiteral(" : ") + why;
}

bool prepare(QSqlQuery &q, const Statement &st, QString *error)
{
    if (!Store::isOpen()) {
        if (error)
            *error = st.sql.trimmed() + QStringLiteral(" : the link database is not open");
        return false;
    }
    q.setForwardOnly(true);
    if (!q.prepare(st.sql)) {
        if (error)
            *error = describe(st, q.lastError());
        return false;
    }
    for (int i = 0; i < st.values.size(); ++i)
        q.bindValue(i, st.values[i]);
    if (!q.exec()) {
        if (error)
            *error = describe(st, q.lastError());
        return false;
    }
    return true;
}

// The engine's own handle of the open database; none when the database is not open or the
// driver is not the engine this file knows.
sqlite3 *engine()
{
    if (!Store::isOpen())
        return nullptr;
    const QVariant handle = Store::db().driver()->handle();
    return handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0
        ? *static_cast<sqlite3 *const *>(handle.constData())
        : nullptr;
}

} // namespace

Statement SetPrm(const QString &sql, const QVariantList &args)
{
    Statement st;
    st.sql.reserve(sql.size() + 16);
    int next = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        if (sql[i] != u'?' || next >= args.size()) {
            st.sql += sql[i];
            continue;
        }
        const QVariant &v = args[next++];
        if (v.metaType() == QMetaType::fromType<NumberList>()) {
            const NumberList numbers = v.value<NumberList>();
            // An empty list matches nothing, never everything.
            if (numbers.isEmpty()) {
                st.sql += QStringLiteral("NULL");
                continue;
            }
            for (int k = 0; k < numbers.size(); ++k) {
                st.sql += k ? QStringLiteral(",?") : QStringLiteral("?");
                st.values.append(numbers[k]);
            }
            continue;
        }
        st.sql += u'?';
        // No value at all is the engine's NULL; a text is stored as given, a null text as
        // an empty one.
        if (v.typeId() == QMetaType::QString && v.toString().isNull())
            st.values.append(QStringLiteral(""));
        else
            st.values.append(v);
    }
    return st;
}

bool exec(const Statement &st, QString *error)
{
    QSqlQuery q(Store::db());
    return prepare(q, st, error);
}

bool forEach(const Statement &st, const std::function<void(const QVariantList &)> &each,
             QString *error)
{
    QSqlQuery q(Store::db());
    if (!prepare(q, st, error))
        return false;
    const int n = q.record().count();
    QVariantList row;
    row.resize(n);
    while (q.next()) {
        for (int i = 0; i < n; ++i)
            row[i] = q.value(i);
        each(row);
    }
    if (q.lastError().isValid()) {
        if (error)
            *error = describe(st, q.lastError());
        return false;
    }
    return true;
}

Rows query(const Statement &st, QString *error)
{
    Rows rows;
    if (error)
        error->clear();
    if (!forEach(
            st, [&](const QVariantList &row) { rows.append(row); }, error))
        return {};
    return rows;
}

QByteArrayView TextRow::text(int col) const
{
    if (m_stmt) {
        if (col < 0 || col >= m_count)
            return {};
        const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col));
        // The length after the text: it is the length of the text in its converted form.
        return t ? QByteArrayView(t, sqlite3_column_bytes(m_stmt, col)) : QByteArrayView();
    }
    if (!m_values || col < 0 || col >= m_values->size())
        return {};
    if (m_utf8.size() < size_t(m_values->size()))
        m_utf8.resize(size_t(m_values->size()));
    m_utf8[size_t(col)] = m_values->at(col).toString().toUtf8();
    return m_utf8[size_t(col)];
}

int TextRow::typeOf(int col) const
{
    if (m_types[col] == 0)
        m_types[col] = sqlite3_column_type(m_stmt, col);
    return m_types[col];
}

double TextRow::number(int col) const
{
    if (m_stmt) {
        if (col < 0 || col >= m_count)
            return 0.0;
        // A text field counts as no number.
        const int type = typeOf(col);
        return type == SQLITE_INTEGER || type == SQLITE_FLOAT ? sqlite3_column_double(m_stmt, col)
                                                              : 0.0;
    }
    return m_values && col >= 0 && col < m_values->size() ? m_values->at(col).toDouble() : 0.0;
}

qint64 TextRow::integer(int col) const
{
    if (m_stmt) {
        if (col < 0 || col >= m_count)
            return 0;
        const int type = typeOf(col);
        return type == SQLITE_INTEGER || type == SQLITE_FLOAT ? sqlite3_column_int64(m_stmt, col)
                                                              : 0;
    }
    return m_values && col >= 0 && col < m_values->size() ? m_values->at(col).toLongLong() : 0;
}

bool forEachUtf8(const Statement &st, const std::function<void(const TextRow &)> &each,
                 QString *error)
{
    if (!Store::isOpen()) {
        if (error)
            *error = st.sql.trimmed() + QStringLiteral(" : the link database is not open");
        return false;
    }
    sqlite3 *db = engine();
    if (!db) {
        // Not the engine this read knows: the general way.
        TextRow row;
        return forEach(
            st,
            [&](const QVariantList &values) {
                row.m_values = &values;
                each(row);
            },
            error);
    }
    auto fail = [&](sqlite3_stmt *stmt) {
        if (error)
            *error
                = st.sql.trimmed() + QStringLiteral(" : ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return false;
    };
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare16_v2(db, st.sql.utf16(), int(st.sql.size() * 2), &stmt, nullptr)
        != SQLITE_OK)
        return fail(stmt);
    for (int i = 0; i < st.values.size(); ++i) {
        const QVariant &v = st.values[i];
        int rc;
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt: rc = sqlite3_bind_int64(stmt, i + 1, v.toLongLong()); break;
        case QMetaType::Double:
        case QMetaType::Float: rc = sqlite3_bind_double(stmt, i + 1, v.toDouble()); break;
        case QMetaType::UnknownType: rc = sqlite3_bind_null(stmt, i + 1); break;
        default: {
            const QString text = v.toString();
            rc = sqlite3_bind_text16(stmt, i + 1, text.utf16(), int(text.size() * 2),
                                     SQLITE_TRANSIENT);
        }
        }
        if (rc != SQLITE_OK)
            return fail(stmt);
    }
    const int n = sqlite3_column_count(stmt);
    std::vector<int> types(static_cast<size_t>(n));
    TextRow row;
    row.m_stmt = stmt;
    row.m_types = types.data();
    row.m_count = n;
    for (;;) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW)
            return fail(stmt);
        std::fill(types.begin(), types.end(), 0);
        each(row);
    }
    sqlite3_finalize(stmt);
    return true;
}

Prepared::Prepared(const char *sql)
    : m_sql(QString::fromUtf8(sql))
{
    sqlite3 *db = engine();
    if (!db) {
        m_error = Store::isOpen() ? QStringLiteral("the engine's handle is not available")
                                  : QStringLiteral("the link database is not open");
        return;
    }
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr) != SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

Prepared::~Prepared()
{
    sqlite3_finalize(m_stmt);
}

void Prepared::bound(int rc)
{
    // The first failure is the one reported.
    if (rc != SQLITE_OK && m_error.isEmpty())
        m_error = QString::fromUtf8(sqlite3_errstr(rc));
}

void Prepared::bindInt(int place, qint64 value)
{
    if (m_stmt)
        bound(sqlite3_bind_int64(m_stmt, place + 1, value));
}

void Prepared::bindReal(int place, double value)
{
    if (m_stmt)
        bound(sqlite3_bind_double(m_stmt, place + 1, value));
}

void Prepared::bindText(int place, QStringView value)
{
    // A null text is stored as an empty one, as SetPrm stores it.
    static const char16_t empty = 0;
    if (m_stmt)
        bound(sqlite3_bind_text16(m_stmt, place + 1, value.isNull() ? &empty : value.utf16(),
                                  int(value.size() * 2), SQLITE_TRANSIENT));
}

void Prepared::bindNull(int place)
{
    if (m_stmt)
        bound(sqlite3_bind_null(m_stmt, place + 1));
}

bool Prepared::run(QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = m_sql + QStringLiteral(" : ") + why;
        return false;
    };
    if (!m_stmt)
        return fail(m_error);
    if (!m_error.isEmpty()) {
        const QString why = m_error;
        m_error.clear();
        sqlite3_clear_bindings(m_stmt);
        return fail(why);
    }
    const int rc = sqlite3_step(m_stmt);
    const QString why = rc == SQLITE_DONE || rc == SQLITE_ROW
        ? QString()
        : QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_stmt)));
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    return why.isEmpty() ? true : fail(why);
}

Transaction::Transaction()
{
    if (!Store::isOpen()) {
        m_error = QStringLiteral("the link database is not open");
        return;
    }
    QSqlDatabase db = Store::db();
    m_open = db.transaction();
    if (!m_open)
        m_error = db.lastError().text();
}

Transaction::~Transaction()
{
    if (m_open)
        rollback();
}

bool Transaction::commit()
{
    if (!m_open)
        return false;
    QSqlDatabase db = Store::db();
    if (!db.commit()) {
        m_error = db.lastError().text();
        rollback();
        return false;
    }
    m_open = false;
    return true;
}

void Transaction::rollback()
{
    if (!m_open)
        return;
    Store::db().rollback();
    m_open = false;
}

} // namespace Sql
