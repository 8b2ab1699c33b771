#include "TextBackfill.h"

#include "pages/PageArchive.h"
#include "pages/PageText.h"
#include "platform/DataFolder.h"
#include "store/LinkStore.h"
#include "store/TextStore.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace TextBackfill {

namespace {
// Pages per transaction: a crash loses little, a writer on the window's thread waits little.
constexpr int kBatch = 64;
constexpr int kOptimizeAfter = 1000;
} // namespace

Result run(const QString &dataPh, const std::function<bool()> &keepGoing,
           const std::function<void(int, int)> &progress)
{
    Result r;
    std::vector<qint64> links;
    if (!LinkStore::forEachAddress([&](qint64 n, const QString &) { links.push_back(n); },
                                   &r.error))
        return r;
    std::sort(links.begin(), links.end());
    const auto isLink = [&](qint64 n) { return std::binary_search(links.begin(), links.end(), n); };

    TextStore store(DataFolder::textIndex(dataPh));
    QHash<qint64, TextStore::Copy> read;
    std::vector<qint64> indexed;
    if (!store.isOpen() || !store.copies(read) || !store.numbers(indexed)) {
        r.error = store.error();
        return r;
    }
    // The text of links gone by any path.
    std::vector<qint64> gone;
    for (const qint64 n : indexed) {
        if (!isLink(n))
            gone.push_back(n);
    }
    for (auto it = read.cbegin(); it != read.cend(); ++it) {
        if (!isLink(it.key()))
            gone.push_back(it.key());
    }
    if (!gone.empty()) {
        if (!store.begin()) {
            r.error = store.error();
            return r;
        }
        for (const qint64 n : gone)
            store.remove(n);
        if (!store.commit()) {
            r.error = store.error();
            return r;
        }
    }

    struct Todo
    {
        qint64 nURL;
        TextStore::Copy copy;
        QString path;
    };
    std::vector<Todo> todo;
    const QDir folder(PageArchive::folderFor(dataPh));
    const QFileInfoList files
        = folder.entryInfoList({QStringLiteral("*.mhtml"), QStringLiteral("*.html")}, QDir::Files);
    for (const QFileInfo &f : files) {
        const QString stem = f.completeBaseName();
        bool isNumber = false;
        const qint64 n = stem.toLongLong(&isNumber);
        if (!isNumber || stem != QString::number(n) || !isLink(n))
            continue;
        const TextStore::Copy copy {f.size(), f.lastModified().toSecsSinceEpoch(), true};
        const auto was = read.constFind(n);
        if (was != read.cend() && was->size == copy.size && was->time == copy.time)
            continue;
        todo.push_back({n, copy, f.absoluteFilePath()});
    }
    // Newest links first: the ones a person most likely looks for.
    std::sort(todo.begin(), todo.end(),
              [](const Todo &a, const Todo &b) { return a.nURL > b.nURL; });
    r.total = int(todo.size());
    int inBatch = 0;
    for (int i = 0; i < r.total; ++i) {
        if (keepGoing && !keepGoing()) {
            r.stopped = true;
            break;
        }
        if (inBatch == 0 && !store.begin()) {
            r.error = store.error();
            return r;
        }
        Todo &t = todo[size_t(i)];
        const QString &path = t.path;
        QString text, why;
        bool stored;
        if (PageText::ofFile(path, &text, &why)) {
            stored = store.put(t.nURL, text, &t.copy);
            ++r.indexed;
        } else {
            t.copy.ok = false;
            stored = store.putCopy(t.nURL, t.copy);
            r.unreadable.append(path);
        }
        if (!stored) {
            r.error = store.error();
            return r;
        }
        if (++inBatch == kBatch || i + 1 == r.total) {
            inBatch = 0;
            if (!store.commit()) {
                r.error = store.error();
                return r;
            }
        }
        if (progress)
            progress(i + 1, r.total);
    }
    if (inBatch > 0 && !store.commit())
        r.error = store.error();
    // A large backfill leaves many small segments behind.
    if (r.error.isEmpty() && !r.stopped && r.indexed >= kOptimizeAfter)
        store.optimize();
    return r;
}

} // namespace TextBackfill
