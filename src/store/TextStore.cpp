#include "TextStore.h"

#include "store/Statements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
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

// lwText(blob): the text the blob keeps compressed.
void textOf(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const auto *p = static_cast<const uchar *>(sqlite3_value_blob(argv[0]));
    const int n = sqlite3_value_bytes(argv[0]);
    const QByteArray utf8 = p && n > 0 ? qUncompress(p, n) : QByteArray();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// lwrank(): BM25 of the hits (k1 1.2, b 0.75, lower is better) with every phrase weighed alike.
// FTS5's own bm25 first counts, per phrase, every page holding it; this one reads only the row
// at hand, so a query that matches most pages costs no more than the rows ranked.
void rankOf(const Fts5ExtensionApi *api, Fts5Context *fts, sqlite3_context *ctx, int,
            sqlite3_value **)
{
    constexpr double k1 = 1.2;
    constexpr double b = 0.75;
    auto *average = static_cast<double *>(api->xGetAuxdata(fts, 0));
    if (!average) {
        sqlite3_int64 rows = 0, tokens = 0;
        api->xRowCount(fts, &rows);
        api->xColumnTotalSize(fts, -1, &tokens);
        average = static_cast<double *>(sqlite3_malloc(sizeof(double)));
        if (!average) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
        *average = rows > 0 && tokens > 0 ? double(tokens) / double(rows) : 1.0;
        api->xSetAuxdata(fts, average, sqlite3_free);
    }
    int size = 0;
    api->xColumnSize(fts, -1, &size);
    const double norm = k1 * (1 - b + b * double(size) / *average);
    double score = 0;
    for (int p = 0, n = api->xPhraseCount(fts); p < n; ++p) {
        Fts5PhraseIter it;
        int col = 0, off = 0;
        int hits = 0;
        for (api->xPhraseFirst(fts, p, &it, &col, &off); col >= 0;
             api->xPhraseNext(fts, &it, &col, &off))
            ++hits;
        score += hits * (k1 + 1) / (hits + norm);
    }
    sqlite3_result_double(ctx, -score);
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
        if (rc == SQLITE_OK)
            rc = api->xCreateFunction(api, "lwrank", nullptr, rankOf, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_create_function_v2(db, "lwText", 1,
                                            SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                            nullptr, textOf, nullptr, nullptr, nullptr);
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
            // Large pages: a compressed text of a few KB wastes little of its page, and the free
            // pages 'optimize' leaves go back to the file system.
            const QByteArray make
                = QByteArray("PRAGMA page_size = 65536; PRAGMA auto_vacuum = INCREMENTAL;"
                             " PRAGMA journal_mode = WAL;")
                + Sql::kTextBodyCreate + ';'
                + (tokenizer ? Sql::kTextCreate : Sql::kTextCreatePlain) + ';'
                + Sql::kTextRankCreate + ';' + Sql::kTextCopyCreate
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

bool TextStore::toTables(const char *const (&sqls)[2], qint64 nURL, const QByteArray &utf8)
{
    for (const char *sql : sqls) {
        sqlite3_stmt *st = prepare(sql);
        if (!st)
            return false;
        sqlite3_bind_int64(st, 1, nURL);
        sqlite3_bind_text(st, 2, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
        if (!step(st))
            return fail(QString::fromUtf8(sql));
    }
    return true;
}

bool TextStore::drop(qint64 nURL)
{
    QByteArray was;
    bool kept = false;
    if (!text(nURL, was, &kept))
        return false;
    if (!kept)
        return true;
    if (!toTables(Sql::kTextDelete, nURL, was))
        return false;
    sqlite3_stmt *body = prepare(Sql::kTextBodyDelete);
    if (!body)
        return false;
    sqlite3_bind_int64(body, 1, nURL);
    return step(body) || fail(QString::fromUtf8(Sql::kTextBodyDelete));
}

bool TextStore::put(qint64 nURL, const QString &text, const Copy *copy)
{
    if (!drop(nURL))
        return false;
    if (!text.isEmpty()) {
        const QByteArray utf8 = text.toUtf8();
        const QByteArray packed = qCompress(utf8);
        sqlite3_stmt *body = prepare(Sql::kTextBodyPut);
        if (!body)
            return false;
        sqlite3_bind_int64(body, 1, nURL);
        sqlite3_bind_blob(body, 2, packed.constData(), int(packed.size()), SQLITE_STATIC);
        if (!step(body))
            return fail(QString::fromUtf8(Sql::kTextBodyPut));
        if (!toTables(Sql::kTextPut, nURL, utf8))
            return false;
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
    if (!drop(nURL))
        return false;
    sqlite3_stmt *st = prepare(Sql::kTextCopyDelete);
    if (!st)
        return false;
    sqlite3_bind_int64(st, 1, nURL);
    return step(st) || fail(QString::fromUtf8(Sql::kTextCopyDelete));
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

bool TextStore::sizes(std::vector<std::pair<QString, qint64>> &out)
{
    sqlite3_stmt *st = prepare(Sql::kTextSizes);
    if (!st)
        return false;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out.emplace_back(columnText(st, 0), sqlite3_column_int64(st, 1));
    sqlite3_reset(st);
    return rc == SQLITE_DONE || fail(QString::fromUtf8(Sql::kTextSizes));
}

bool TextStore::scored(const QString &match, Table table, std::vector<Scored> &out)
{
    const char *sql = Sql::kTextScored[table];
    sqlite3_stmt *st = prepare(sql);
    if (!st)
        return false;
    bindText(st, 1, match);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out.push_back({sqlite3_column_int64(st, 0), sqlite3_column_double(st, 1)});
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return rc == SQLITE_DONE || fail(QString::fromUtf8(sql));
}

bool TextStore::text(qint64 nURL, QByteArray &utf8, bool *kept)
{
    utf8.clear();
    sqlite3_stmt *st = prepare(Sql::kTextBodyOld);
    if (!st)
        return false;
    sqlite3_bind_int64(st, 1, nURL);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        utf8 = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)),
                          sqlite3_column_bytes(st, 0));
    sqlite3_reset(st);
    if (kept)
        *kept = rc == SQLITE_ROW;
    return rc == SQLITE_ROW || rc == SQLITE_DONE || fail(QString::fromUtf8(Sql::kTextBodyOld));
}
