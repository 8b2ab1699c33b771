#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <utility>
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
    // The tables of the index: pieces with their places, and every CJK character alone.
    enum Table { Pieces = 0, Chars = 1 };
    struct Scored
    {
        qint64 nURL = 0;
        double rank = 0; // lower is better
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
    // The bytes each table and index of the file takes.
    bool sizes(std::vector<std::pair<QString, qint64>> &out);
    // The links whose text matches the FTS5 query, in ascending order, each with its rank.
    bool scored(const QString &match, Table table, std::vector<Scored> &out);
    // Link nURL's text as it was given; empty, and kept false, when none is kept.
    bool text(qint64 nURL, QByteArray &utf8, bool *kept = nullptr);

private:
    // Link nURL's length in tText's tokens (0: no text).
    bool setLength(qint64 nURL, quint32 tokens);
    // Every page's length, unless read since the file last changed.
    bool readLengths();
    // Takes link nURL's text out of the index.
    bool drop(qint64 nURL);
    // A text given to both tables, into (Sql::kTextPut) or out of them (Sql::kTextDelete).
    bool toTables(const char *const (&sqls)[2], qint64 nURL, const QByteArray &utf8);
    sqlite3_stmt *prepare(const char *sql);
    bool fail(const QString &what);
    bool run(const char *sql);
    sqlite3 *m_db = nullptr;
    QString m_path;
    QString m_error;
    QHash<const char *, sqlite3_stmt *> m_statements;
    std::vector<qint64> m_blocks; // ascending; kTextLenBlock lengths each in m_lengths
    std::vector<quint32> m_lengths;
    double m_average = 1.0;
    qint64 m_dataVersion = -1;
    bool m_lengthsRead = false;
};
