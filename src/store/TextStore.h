#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct fts5_tokenizer;

// The full-text index's file: derived data, kept apart from the link database. A file that
// cannot be used (damaged, of another version) is made anew: the copies rebuild it. One
// connection per object, used on the thread that made it; writers on other threads wait for
// each other.
class TextStore
{
public:
    // Where the hits lie in a snippet.
    static constexpr char16_t kMarkOpen = 0xE000;
    static constexpr char16_t kMarkClose = 0xE001;

    struct Copy
    {
        qint64 size = 0;
        qint64 time = 0; // seconds
        bool ok = false;
    };
    struct Hit
    {
        qint64 nURL = 0;
        double rank = 0; // lower is better
        QString snippet;
    };

    // tokenizer is registered as "linkwell", the tokenizer the table names; without one the
    // table uses FTS5's default tokenizer (for comparisons only).
    TextStore(const QString &path, fts5_tokenizer *tokenizer);
    // With the tokenizer the program uses (useTokenizer); fails to open when none was given.
    explicit TextStore(const QString &path);
    // The tokenizer every later TextStore(path) registers (the search's; set at start-up).
    static void useTokenizer(fts5_tokenizer *tokenizer);
    ~TextStore();
    TextStore(const TextStore &) = delete;
    TextStore &operator=(const TextStore &) = delete;

    bool isOpen() const { return m_db != nullptr; }
    QString error() const { return m_error; }

    bool begin();
    bool commit();

    // Replaces the text of link nURL; an empty text leaves it out. copy, when given, records the
    // copy the text came from.
    bool put(qint64 nURL, const QString &text, const Copy *copy = nullptr);
    // Records a copy that could not be read, so that it is not read again until it changes.
    bool putCopy(qint64 nURL, const Copy &copy);
    bool remove(qint64 nURL);
    bool removeAll();
    // After many changes: the index merged and written back into its file.
    bool optimize();
    bool copies(QHash<qint64, Copy> &out);
    bool numbers(std::vector<qint64> &out);
    // The links whose text matches the FTS5 query.
    bool matching(const QString &match, std::vector<qint64> &out);
    // The best `limit` links for the query, with their rank and a snippet of `tokens` pieces;
    // when very many match, the best of the newest of them (ranking all would take long).
    bool ranked(const QString &match, int limit, int tokens, std::vector<Hit> &out);
    // Every matching link's rank.
    bool ranks(const QString &match, QHash<qint64, double> &out);
    // A snippet of link nURL's text around the query's first hit; empty when it holds none.
    QString snippet(const QString &match, qint64 nURL, int tokens);

private:
    // Takes link nURL's text out of the index.
    bool drop(qint64 nURL);
    sqlite3_stmt *prepare(const char *sql);
    bool fail(const QString &what);
    bool run(const char *sql);
    sqlite3 *m_db = nullptr;
    QString m_path;
    QString m_error;
    QHash<const char *, sqlite3_stmt *> m_statements;
};
