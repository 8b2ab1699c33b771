#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Brings the full-text index of a data folder in step with the saved copies: every copy not read
// yet, or changed since it was read, is read and indexed; the text of links no longer in the
// collection goes. A copy that cannot be read is recorded as such and read again only once it
// changes. The link numbers are read through the calling thread's connection (a worker's
// Store::Reader), the index through a connection of its own (with the tokenizer set at start-up).
namespace TextBackfill {

struct Result
{
    int indexed = 0; // copies read and indexed
    int total = 0; // copies that needed reading
    QStringList unreadable; // the files of the copies that could not be read
    bool stopped = false;
    QString error; // the index or the collection could not be read or written
};

// keepGoing, when given, is asked before each copy; progress(done, total) after each.
Result run(const QString &dataPh, const std::function<bool()> &keepGoing = {},
           const std::function<void(int done, int total)> &progress = {});

} // namespace TextBackfill
