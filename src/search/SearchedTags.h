#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

// Tags are searched as part of the description they follow: every search over the links' own
// texts (the window's index, find, find --text) reads a link's description through this.
class SearchedTags
{
public:
    // Every link's tags, from the link database.
    bool load(QString *error = nullptr);
    void clear() { m_tags.clear(), m_bytes = 0; }

    // The description as the search reads it: the description, a space and the link's tags.
    // The view lasts until the next call.
    QByteArrayView described(qint64 nURL, QByteArrayView description);
    // What the tags add to the descriptions, in bytes.
    size_t bytes() const { return m_bytes; }

private:
    QHash<qint64, QByteArray> m_tags; // with the space before them
    size_t m_bytes = 0;
    QByteArray m_described;
};
