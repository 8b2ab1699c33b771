#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>

// Filling and running statements on the one link database.
namespace Sql {

struct Statement
{
    QString sql;         // the statement with one "?" per bound value
    QVariantList values; // in order
};

using Rows = QList<QVariantList>;

// A list of numbers for an "in (?)" place.
using NumberList = QList<int>;

// Binds the values to the "?" places in order. A null value binds as an empty text; a
// NumberList expands its "?" into one place per number. Texts are stored exactly as given.
Statement SetPrm(const QString &sql, const QVariantList &args);

// Runs an action statement; false with "<statement>: <engine error>" in *error on failure.
bool exec(const Statement &st, QString *error = nullptr);
// Runs a query; every row as a list of its fields. On failure the result is empty and
// *error is set; *error is left empty on success.
Rows query(const Statement &st, QString *error = nullptr);
// Runs a query and calls each(row) per record, without collecting them.
bool forEach(const Statement &st, const std::function<void(const QVariantList &)> &each,
             QString *error = nullptr);

// The fast read for large lists: each row's fields as texts (numbers in their decimal form)
// and as numbers, straight from the engine. No QVariant per field.
bool forEachText(const Statement &st,
                 const std::function<void(const QString *texts, const double *numbers)> &each,
                 QString *error = nullptr);

// Groups statements: everything between begin and commit stands or falls together. A guard
// that goes out of scope without commit() rolls back.
class Transaction
{
public:
    Transaction();
    ~Transaction();
    bool ok() const { return m_open; }
    QString error() const { return m_error; }
    bool commit();
    void rollback();

private:
    bool m_open = false;
    QString m_error;
};

} // namespace Sql
