#include "Sql.h"

#include "Store.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace Sql {
namespace {

QString describe(const Statement &st, const QSqlError &e)
{
    const QString why = e.text().trimmed().isEmpty() ? QStringLiteral("unknown error") : e.text().trimmed();
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
        if (v.isNull())
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
    if (!forEach(st, [&](const QVariantList &row) { rows.append(row); }, error))
        return {};
    return rows;
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
