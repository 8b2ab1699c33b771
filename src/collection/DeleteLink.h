#pragma once

#include <QString>

#include <memory>

class TextStore;

class LinkIndex;

// A link goes with everything it has: its row, date and check history, its page picture and
// saved copy, its place in the search index and its page text.
class DeleteLink
{
public:
    // index may be null.
    DeleteLink(const QString &dataPh, LinkIndex *index);
    ~DeleteLink();
    // False with *error when the row stays; the files then stay too.
    bool run(qint64 nURL, QString *error = nullptr);
    // What goes with a row deleted among other changes in one transaction (the maintenance
    // save), once that transaction is written: the link's files and its index entry.
    void rowGone(qint64 nURL);

private:
    QString m_dataPh;
    LinkIndex *m_index;
    std::unique_ptr<TextStore> m_text; // opened at the first row gone
};
