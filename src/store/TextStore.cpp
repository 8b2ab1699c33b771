#include "TextStore.h"

#include "store/Statements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>

#include <sqlite3.h>

namespace {

fts5_api *fts5Of(sqlite3 *db)
{
    fts5_api *api = nullptr;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, Sql::kTextFts5Api, -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(st, 1, static_cast<void *>(&api), "fts5_api_ptr", nullptr);
        sqlite3_step(st);
    }
    sqlite3_finalize(st);
    return api;
}

void bindText(sqlite3_stmt *st, int place, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(st, place, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

QString columnText(sqlite3_stmt *st, int col)
{
    const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
    return t ? QString::fromUtf8(t, sqlite3_column_bytes(st, col)) : QString();
}

// Runs a prepared statement to its end and makes it ready for the next values.
bool step(sqlite3_stmt *st)
{
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) { }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return rc == SQLITE_DONE;
}

} // namespace

TextStore::TextStore(const QString &path, fts5_tokenizer *tokenizer)
    : m_path(path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Twice at most: a file that cannot be used is removed and made anew.
    for (int attempt = 0; attempt < 2 && !m_db; ++attempt) {
        sqlite3 *db = nullptr;
        int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        fts5_api *api = rc == SQLITE_OK ? fts5Of(db) : nullptr;
        if (api && tokenizer)
            rc = api->xCreateTokenizer(api, "linkwell", nullptr, tokenizer, nullptr);
        else if (!api)
            rc = SQLITE_ERROR;
        sqlite3_busy_timeout(db, 30000);
        int version = -1;
        if (rc == SQLITE_OK) {
            sqlite3_stmt *st = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK
                && sqlite3_step(st) == SQLITE_ROW)
                version = sqlite3_column_int(st, 0);
            sqlite3_finalize(st);
        }
        bool usable = version == Sql::kTextIndexVersion;
        if (version == 0) {
            const QByteArray make = QByteArray("PRAGMA journal_mode = WAL;")
                + (tokenizer ? Sql::kTextCreate : Sql::kTextCreatePlain) + ';'
                + Sql::kTextCopyCreate
                + "; PRAGMA user_version = " + QByteArray::number(Sql::kTextIndexVersion);
            usable = sqlite3_exec(db, make.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        }
        if (usable) {
            sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL", nullptr,
                         nullptr, nullptr);
            m_db = db;
            m_error.clear();
            break;
        }
        m_error = path + QStringLiteral(": ")
            + QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        if (version < 0 && api == nullptr)
            break; // no FTS5 here: a new file would fare no better
        for (const char *end : {"", "-wal", "-shm", "-journal"})
            QFile::remove(path + QLatin1StringView(end));
    }
}

namespace {
std::atomic<fts5_tokenizer *> g_tokenizer {nullptr};
}

void TextStore::useTokenizer(fts5_tokenizer *tokenizer)
{
    g_tokenizer = tokenizer;
}

TextStore::TextStore(const QString &path)
    : TextStore(path, g_tokenizer.load())
{
    if (!g_tokenizer.load()) {
        m_error = path + QStringLiteral(": no tokenizer");
        if (m_db)
            sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

TextStore::~TextStore()
{
    for (sqlite3_stmt *st : std::as_const(m_statements))
        sqlite3_finalize(st);
    if (m_db)
        sqlite3_close_v2(m_db);
}

bool TextStore::fail(const QString &what)
{
    m_error = what + QStringLiteral(": ")
        + (m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("not open"));
    return false;
}

sqlite3_stmt *TextStore::prepare(const char *sql)
{
    if (!m_db) {
        fail(QString::fromUtf8(sql));
        return nullptr;
    }
    sqlite3_stmt *&st = m_statements[sql];
    if (!st && sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) != SQLITE_OK) {
        fail(QString::fromUtf8(sql));
        sqlite3_finalize(st);
        st = nullptr;
    }
    return st;
}

bool TextStore::run(const char *sql)
{
    if (!m_db || sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail(QString::fromUtf8(sql));
    return true;
}

bool TextStore::begin()
{
    return run("Begin Immediate");
}

bool TextStore::commit()
{
    return run("Commit");
}

bool TextStore::put(qint64 nURL, const QString &text, const Copy *copy)
{
    sqlite3_stmt *del = prepare(Sql::kTextDelete);
    if (!del)
        return false;
    sqlite3_bind_int64(del, 1, nURL);
    if (!step(del))
        return fail(QString::fromUtf8(Sql::kTextDelete));
    if (!text.isEmpty()) {
        sqlite3_stmt *ins = prepare(Sql::kTextPut);
        if (!ins)
            return false;
        sqlite3_bind_int64(ins, 1, nURL);
        bindText(ins, 2, text);
        if (!step(ins))
            return fail(QString::fromUtf8(Sql::kTextPut));
    }
    return !copy || putCopy(nURL, *copy);
}

bool TextStore::putCopy(qint64 nURL, const Copy &copy)
{
    sqlite3_stmt *st = prepare(Sql::kTextCopyPut);
    if (!st)
        return false;
    sqlite3_bind_int64(st, 1, nURL);
    sqlite3_bind_int64(st, 2, copy.size);
    sqlite3_bind_int64(st, 3, copy.time);
    sqlite3_bind_int(st, 4, copy.ok ? 1 : 0);
    return step(st) || fail(QString::fromUtf8(Sql::kTextCopyPut));
}

bool TextStore::remove(qint64 nURL)
{
    for (const char *sql : {Sql::kTextDelete, Sql::kTextCopyDelete}) {
        sqlite3_stmt *st = prepare(sql);
        if (!st)
            return false;
        sqlite3_bind_int64(st, 1, nURL);
        if (!step(st))
            return fail(QString::fromUtf8(sql));
    }
    return true;
}

bool TextStore::removeAll()
{
    return run(Sql::kTextDeleteAll) && run(Sql::kTextCopyDeleteAll);
}

bool TextStore::optimize()
{
    return run(Sql::kTextOptimize);
}

bool TextStore::copies(QHash<qint64, Copy> &out)
{
    sqlite3_stmt *st = prepare(Sql::kTextCopies);
    if (!st)
        return false;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out.insert(sqlite3_column_int64(st, 0),
                   {sqlite3_column_int64(st, 1), sqlite3_column_int64(st, 2),
                    sqlite3_column_int(st, 3) != 0});
    sqlite3_reset(st);
    return rc == SQLITE_DONE || fail(QString::fromUtf8(Sql::kTextCopies));
}

bool TextStore::numbers(std::vector<qint64> &out)
{
    sqlite3_stmt *st = prepare(Sql::kTextNumbers);
    if (!st)
        return false;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out.push_back(sqlite3_column_int64(st, 0));
    sqlite3_reset(st);
    return rc == SQLITE_DONE || fail(QString::fromUtf8(Sql::kTextNumbers));
}

bool TextStore::matching(const QString &match, std::vector<qint64> &out)
{
    sqlite3_stmt *st = prepare(Sql::kTextMatching);
    if (!st)
        return false;
    bindText(st, 1, match);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out.push_back(sqlite3_column_int64(st, 0));
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return rc == SQLITE_DONE || fail(QString::fromUtf8(Sql::kTextMatching));
}

namespace {

void bindSnippet(sqlite3_stmt *st, int tokens)
{
    bindText(st, 1, QString(QChar(TextStore::kMarkOpen)));
    bindText(st, 2, QString(QChar(TextStore::kMarkClose)));
    bindText(st, 3, QStringLiteral("…"));
    sqlite3_bind_int(st, 4, tokens);
}

} // namespace

bool TextStore::ranked(const QString &match, int limit, int tokens, std::vector<Hit> &out)
{
    sqlite3_stmt *st = prepare(Sql::kTextRanked);
    if (!st)
        return false;
    bindSnippet(st, tokens);
    bindText(st, 5, match);
    sqlite3_bind_int(st, 6, limit);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out.push_back(
            {sqlite3_column_int64(st, 0), sqlite3_column_double(st, 1), columnText(st, 2)});
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return rc == SQLITE_DONE || fail(QString::fromUtf8(Sql::kTextRanked));
}

bool TextStore::ranks(const QString &match, QHash<qint64, double> &out)
{
    sqlite3_stmt *st = prepare(Sql::kTextRanks);
    if (!st)
        return false;
    bindText(st, 1, match);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out.insert(sqlite3_column_int64(st, 0), sqlite3_column_double(st, 1));
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return rc == SQLITE_DONE || fail(QString::fromUtf8(Sql::kTextRanks));
}

QString TextStore::snippet(const QString &match, qint64 nURL, int tokens)
{
    sqlite3_stmt *st = prepare(Sql::kTextSnippet);
    if (!st)
        return {};
    bindSnippet(st, tokens);
    bindText(st, 5, match);
    sqlite3_bind_int64(st, 6, nURL);
    QString out;
    if (sqlite3_step(st) == SQLITE_ROW)
        out = columnText(st, 0);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return out;
}
