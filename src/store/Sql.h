#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <vector>

struct sqlite3_stmt;

// Filling and running statements on the one link database.
namespace Sql {

struct Statement
{
    QString sql; // the statement with one "?" per bound value
    QVariantList values; // in order
};

using Rows = QList<QVariantList>;

// A list of numbers for an "in (?)" place.
using NumberList = QList<qint64>;

// Binds the values to the "?" places in order. An invalid QVariant binds as NULL, a null text
// as an empty text; a NumberList expands its "?" into one place per number. Texts are stored
// exactly as given.
Statement SetPrm(const QString &sql, const QVariantList &args);

// Runs an action statement; false with "<statement>: <engine error>" in *error on failure.
bool exec(const Statement &st, QString *error = nullptr);
// Runs a query; every row as a list of its fields. On failure the result is empty and
// *error is set; *error is left empty on success.
Rows query(const Statement &st, QString *error = nullptr);
// Runs a query and calls each(row) per record, without collecting them.
bool forEach(const Statement &st, const std::function<void(const QVariantList &)> &each,
             QString *error = nullptr);

// One row of the fast read. A field is turned into text or number only when asked for, so a
// number column read as a number is never rendered as text.
class TextRow
{
public:
    // The field as UTF-8 (a number in its decimal form); valid until the next row.
    QByteArrayView text(int col) const;
    // The field as a number; 0 for a text or an empty field.
    double number(int col) const;
    // The same as a whole number, exact over the whole 64-bit range.
    qint64 integer(int col) const;

private:
    friend bool forEachUtf8(const Statement &, const std::function<void(const TextRow &)> &,
                            QString *);
    sqlite3_stmt *m_stmt = nullptr;
    // Each field's type, taken when a number is first asked for (0 until then): a number
    // turned into text keeps its type, and most fields are only read as text.
    int *m_types = nullptr;
    int typeOf(int col) const;
    int m_count = 0;
    const QVariantList *m_values = nullptr; // when not read from the engine itself
    mutable std::vector<QByteArray> m_utf8;
};

// The fast read for large lists, straight from the engine: no QVariant or QString per field.
bool forEachUtf8(const Statement &st, const std::function<void(const TextRow &)> &each,
                 QString *error = nullptr);

// A statement prepared once and run many times with new values, straight on the engine: the
// writes of many rows (an import) then cost no parsing and no QVariant per value. Values are
// bound by place, from 0, and cleared after each run; a text is copied when bound. It must end
// before the database is closed.
class Prepared
{
public:
    explicit Prepared(const char *sql);
    ~Prepared();
    Prepared(const Prepared &) = delete;
    Prepared &operator=(const Prepared &) = delete;

    // False when the statement could not be prepared; run() then fails with the reason.
    bool ok() const { return m_stmt != nullptr; }
    void bindInt(int place, qint64 value);
    void bindReal(int place, double value);
    void bindText(int place, QStringView value);
    void bindNull(int place);
    // Runs the statement with the values bound; false with "<statement> : <engine error>" in
    // *error.
    bool run(QString *error = nullptr);

private:
    void bound(int rc);
    QString m_sql;
    sqlite3_stmt *m_stmt = nullptr;
    QString m_error; // why preparing or binding failed
};

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
