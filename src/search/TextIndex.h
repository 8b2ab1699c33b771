#pragma once

#include "store/LinkStore.h"
#include "store/TextStore.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class LinkSearch;

// The full-text index of the data folder (Idx/text.db) on this thread's own connection, cut by
// TextPieces, and the search over it together with the links' titles, descriptions and
// addresses.
class TextIndex
{
public:
    explicit TextIndex(const QString &dataPh);
    bool isOpen() const { return m_store.isOpen(); }
    QString error() const { return m_store.error(); }
    TextStore &store() { return m_store; }

    // Deletes the index file; the next TextIndex starts empty.
    static bool removeFile(const QString &dataPh);

    struct Found
    {
        qint64 nURL = 0;
        double rank = 0; // FTS5's rank of the page text; 0 when only the fields hold the words
        QString snippet; // marked with TextStore::kMarkOpen / kMarkClose
    };
    // What the links' own texts give the search: every link there is, and per word of the query
    // the links whose address, title or description hold it; numbers ascending.
    struct Fields
    {
        QStringList words; // folded
        std::vector<qint64> links;
        std::vector<std::vector<qint64>> holding;
    };
    // From the window's index, on the thread that owns it: no row read.
    static Fields fieldsOf(const LinkSearch &search, const QString &query);
    // From the link database: one pass over the rows of group nGrp (all when <= 0), each row
    // also given to `each` when there is one.
    static bool fieldsOf(const QString &query, Fields &out, QString *error, qint64 nGrp = 0,
                         const std::function<void(const LinkStore::LinkView &)> &each = {});

    // The links whose title, description, address or page text hold every word of the query,
    // best first; at most limit (0: all), the first `snippets` of them with a snippet. Without
    // fields given, they are read from the link database.
    bool find(const QString &query, int limit, int snippets, std::vector<Found> &out,
              QString *error, const Fields *fields = nullptr);
    // A snippet of link nURL's page text around the query's first hit.
    QString snippet(const QString &query, qint64 nURL);

private:
    QString snippet(const QStringList &words, qint64 nURL);
    TextStore m_store;
};
