#pragma once

#include <QString>

class LinkIndex;

// A link goes with everything it has: its row, date and check history, its page picture and
// saved copy, and its place in the search index.
class DeleteLink
{
public:
    // index may be null.
    DeleteLink(const QString &dataPh, LinkIndex *index);
    // False with *error when the row stays; the files then stay too.
    bool run(qint64 nURL, QString *error = nullptr);

private:
    QString m_dataPh;
    LinkIndex *m_index;
};
