#include "Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace Shell {
namespace {

struct State
{
    bool testMode = false;
    QList<Call> calls;
};

State &state()
{
    static State s;
    return s;
}

QUrl toUrl(const QString &pathOrUrl)
{
    const QUrl url(pathOrUrl);
    if (url.isValid() && url.scheme().size() > 1) // a drive letter is no scheme
        return url;
    return QUrl::fromLocalFile(QFileInfo(pathOrUrl).absoluteFilePath());
}

void perform(const QString &verb, const QString &target)
{
    if (state().testMode) {
        state().calls.append({verb, target});
        return;
    }
    QDesktopServices::openUrl(toUrl(target));
}

} // namespace

void open(const QString &pathOrUrl)
{
    perform(QStringLiteral("open"), pathOrUrl);
}
void explore(const QString &folder)
{
    perform(QStringLiteral("explore"), folder);
}

void enableTestMode()
{
    state().testMode = true;
    state().calls.clear();
}

QList<Call> calls()
{
    return state().calls;
}
void clearCalls()
{
    state().calls.clear();
}

} // namespace Shell
