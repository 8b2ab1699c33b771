#pragma once

#include "check/LinkCheck.h"

#include <QList>
#include <QString>

#include <functional>

// The headless link check ("check" on the command line): every link of the collection, or of
// one group, checked with the window's engine, the results recorded in the history in one
// transaction, and one line per link in number order. Runs on the caller's event loop; a
// QCoreApplication is enough.
class CheckAll
{
public:
    struct Row
    {
        int nURL = 0;
        LinkResult result;
        // number, verdict (alive, dead, uncertain), final status, final address, seconds (two
        // decimals; the window shows tenths), joined by TAB; control characters of the address
        // percent-encoded so the line stays one.
        QString line() const;
    };
    using Progress = std::function<void(int checked, int total, int dead)>;

    // client: not owned; nullptr for the real network.
    explicit CheckAll(HttpClient *client = nullptr);

    // The engine, for its limits and deadline.
    LinkCheck &engine() { return m_check; }

    // Checks the links of the group named group (the first in the list's order whose name equals
    // it, letter case of every letter ignored; "未分類" for group 0), or every link when group is
    // empty, and records the results. False with *error when the group does not exist or the links
    // cannot be read (nothing checked), or when the results cannot be recorded (rows still holds
    // them).
    bool run(const QString &group, QList<Row> &rows, QString *error = nullptr,
             const Progress &progress = {});

private:
    LinkCheck m_check;
};
