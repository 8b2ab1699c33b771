#include "TextStore.h"

#include "store/Statements.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

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

// lwhits(): how often the row holds the query's phrases. The rank is made outside, with the
// page lengths read at once: FTS5's own bm25 and xColumnSize read one row of lengths per page.
void hitsOf(const Fts5ExtensionApi *api, Fts5Context *fts, sqlite3_context *ctx, int,
            sqlite3_value **)
{
    int hits = 0;
    for (int p = 0, n = api->xPhraseCount(fts); p < n; ++p) {
        Fts5PhraseIter it;
        int col = 0, off = 0;
        for (api->xPhraseFirst(fts, p, &it, &col, &off); col >= 0;
             api->xPhraseNext(fts, &it, &col, &off))
            ++hits;
    }
    sqlite3_result_int(ctx, hits);
}

// lwsize(): the row's length in tokens.
void sizeOf(const Fts5ExtensionApi *api, Fts5Context *fts, sqlite3_context *ctx, int,
            sqlite3_value **)
{
    int size = 0;
    if (api->xColumnSize(fts, -1, &size) != SQLITE_OK)
        size = 0;
    sqlite3_result_int(ctx, size);
}

qint64 blockOf(qint64 nURL)
{
    return nURL >= 0 ? nURL / Sql::kTextLenBlock : (nURL + 1) / Sql::kTextLenBlock - 1;
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
            rc = api->xCreateFunction(api, "lwhits", nullptr, hitsOf, nullptr);
        if (rc == SQLITE_OK)
            rc = api->xCreateFunction(api, "lwsize", nullptr, sizeOf, nullptr);
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
                + (tokenizer ? Sql::kTextCreate : Sql::kTextCreatePlain) + ';' + Sql::kTextPageSize
                + ';' + Sql::kTextLenCreate + ';' + Sql::kTextCopyCreate
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
    if (!toTables(Sql::kTextDelete, nURL, was) || !setLength(nURL, 0))
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
        sqlite3_stmt *size = prepare(Sql::kTextTokens);
        if (!size)
            return false;
        sqlite3_bind_int64(size, 1, nURL);
        const int rc = sqlite3_step(size);
        const qint64 tokens = rc == SQLITE_ROW ? sqlite3_column_int64(size, 0) : 0;
        sqlite3_reset(size);
        if (rc != SQLITE_ROW)
            return fail(QString::fromUtf8(Sql::kTextTokens));
        if (!setLength(nURL, quint32(std::clamp<qint64>(tokens, 1, 0xFFFFFFFF))))
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
    m_lengthsRead = false;
    return run(Sql::kTextDeleteAll) && run(Sql::kTextCopyDeleteAll);
}

bool TextStore::setLength(qint64 nURL, quint32 tokens)
{
    m_lengthsRead = false;
    const qint64 block = blockOf(nURL);
    sqlite3_stmt *get = prepare(Sql::kTextLenGet);
    if (!get)
        return false;
    sqlite3_bind_int64(get, 1, block);
    const int rc = sqlite3_step(get);
    QByteArray lengths = rc == SQLITE_ROW
        ? QByteArray(static_cast<const char *>(sqlite3_column_blob(get, 0)),
                     sqlite3_column_bytes(get, 0))
        : QByteArray();
    sqlite3_reset(get);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return fail(QString::fromUtf8(Sql::kTextLenGet));
    lengths.resize(Sql::kTextLenBlock * 4, '\0');
    qToLittleEndian(tokens, lengths.data() + (nURL - block * Sql::kTextLenBlock) * 4);
    sqlite3_stmt *put = prepare(Sql::kTextLenPut);
    if (!put)
        return false;
    sqlite3_bind_int64(put, 1, block);
    sqlite3_bind_blob(put, 2, lengths.constData(), int(lengths.size()), SQLITE_STATIC);
    return step(put) || fail(QString::fromUtf8(Sql::kTextLenPut));
}

bool TextStore::readLengths()
{
    // Read again after a change, made here or by another connection.
    sqlite3_stmt *version = prepare(Sql::kTextDataVersion);
    if (!version)
        return false;
    const qint64 now = sqlite3_step(version) == SQLITE_ROW ? sqlite3_column_int64(version, 0) : -1;
    sqlite3_reset(version);
    if (m_lengthsRead && now == m_dataVersion)
        return true;
    sqlite3_stmt *st = prepare(Sql::kTextLenAll);
    if (!st)
        return false;
    m_blocks.clear();
    m_lengths.clear();
    qint64 total = 0, pages = 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const auto *p = static_cast<const uchar *>(sqlite3_column_blob(st, 1));
        const int bytes = sqlite3_column_bytes(st, 1);
        m_blocks.push_back(sqlite3_column_int64(st, 0));
        for (int i = 0; i < Sql::kTextLenBlock; ++i) {
            const quint32 n = (i + 1) * 4 <= bytes ? qFromLittleEndian<quint32>(p + i * 4) : 0;
            m_lengths.push_back(n);
            total += n;
            pages += n ? 1 : 0;
        }
    }
    sqlite3_reset(st);
    if (rc != SQLITE_DONE)
        return fail(QString::fromUtf8(Sql::kTextLenAll));
    m_average = pages ? double(total) / double(pages) : 1.0;
    m_dataVersion = now;
    m_lengthsRead = true;
    return true;
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
    if (table == Pieces && !readLengths())
        return false;
    const char *sql = Sql::kTextScored[table];
    sqlite3_stmt *st = prepare(sql);
    if (!st)
        return false;
    bindText(st, 1, match);
    // BM25 of the hits (k1 1.2, b 0.75, lower is better), every word weighed alike; a
    // character's presence, which has no places, ranks as one hit in a page of average length.
    constexpr double k1 = 1.2;
    constexpr double b = 0.75;
    size_t block = 0; // rows come by number: the blocks are walked along
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const qint64 n = sqlite3_column_int64(st, 0);
        const int hits = sqlite3_column_int(st, 1);
        double length = m_average;
        if (table == Pieces) {
            const qint64 want = blockOf(n);
            if (block < m_blocks.size() && m_blocks[block] > want)
                block = 0; // not in order after all
            while (block < m_blocks.size() && m_blocks[block] < want)
                ++block;
            if (block < m_blocks.size() && m_blocks[block] == want) {
                const quint32 l
                    = m_lengths[block * Sql::kTextLenBlock + size_t(n - want * Sql::kTextLenBlock)];
                length = l ? double(l) : m_average;
            }
        }
        const double norm = k1 * (1 - b + b * length / m_average);
        out.push_back({n, -(hits * (k1 + 1) / (hits + norm))});
    }
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
