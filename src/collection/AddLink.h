#pragma once

#include "store/Records.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class CollectionIndex;

class LinkIndex;

// A link registered or corrected without the window: from another browser through the local
// receiver, or from the command line. The one rule for both: a registered address is
// corrected (or left alone), a new one is registered unless a twin of it is, and a group path
// that does not exist yet is made, every missing folder of it.
class AddLink
{
public:
    struct Twin
    {
        qint64 nURL = 0;
        QString url;
        QString title;
    };
    // The registered links that are the same page as an address (the search's twin rule),
    // lowest number first.
    using TwinsFn = std::function<std::vector<Twin>(const QString &address)>;

    struct Request
    {
        QString url;
        QString title; // empty: the stored title stays
        QString description; // empty: the stored description stays
        QString group; // a path, "技術/Qt"; empty: group 0, or the stored group
        std::optional<double> sort; // none: 100, or the stored sort key
        bool skipRegistered = false; // a registered address is left as it is
        bool addTwin = false; // registered even when a twin is
        std::optional<QByteArray> page; // the page sent whole: its copy and its text
        QString pageTitle; // the page's own title: a new link's when title is empty
    };

    enum class Status { New, Corrected, Skipped, Twin, BadInput, Failed };
    struct Outcome
    {
        Status status = Status::Failed;
        LinkRecord link; // as stored
        bool groupsMade = false;
        Twin twin; // Status::Twin
        QString error; // BadInput, Failed; or a copy that could not be kept
    };

    // index may be null; twins null: the collection is read for them (twinsInStore).
    AddLink(const QString &dataPh, LinkIndex *index, TwinsFn twins = {});

    Outcome run(const Request &request, qint64 addedSecs);

    // The registered link of an address (the address rule), if any.
    static bool registered(const QString &url, std::optional<LinkRecord> &link,
                           QString *error = nullptr);
    // The twins of address found by reading every address of the collection.
    static std::vector<Twin> twinsInStore(const QString &address, QString *error = nullptr);
    // The twins of address the window's index holds, with their stored addresses.
    static std::vector<Twin> twinsIn(const CollectionIndex &index, const QString &address);
    // A group path as its folders are held: each folder's name trimmed, empty folders left out.
    static QString cleanPath(const QString &path);

private:
    void keepPage(const QByteArray &page, Outcome &out);

    QString m_dataPh;
    LinkIndex *m_index;
    TwinsFn m_twins;
};
