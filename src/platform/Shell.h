#pragma once

#include <QList>
#include <QString>

// The desktop shell: open a file or address in its application, open a folder in the file
// manager. Tests switch on the test mode and read back the calls; nothing is launched.
namespace Shell {

struct Call
{
    QString verb; // "open" or "explore"
    QString target;
};

void open(const QString &pathOrUrl);
void explore(const QString &folder);

void enableTestMode();
QList<Call> calls();
void clearCalls();

} // namespace Shell
