#pragma once

#include <QFile>
#include <QProcessEnvironment>
#include <QTest>

// The real program started as a person would start its window: offscreen, unattended (boxes
// answer at once), its browser kept on this machine.
namespace ProgramRun {

inline QProcessEnvironment windowEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LINKWELL_NONINTERACTIVE"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LINKWELL_SEARCH_URL"), QStringLiteral("about:blank"));
    env.insert(QStringLiteral("LINKWELL_HOME_URL"), QStringLiteral("about:blank"));
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               QStringLiteral("new_delete_type_mismatch=0:detect_leaks=0"));
    return env;
}

// True once the program holds the data folder's lock and its database exists.
inline bool waitReady(const QString &dataDir)
{
    return QTest::qWaitFor(
        [&] {
            return QFile::exists(dataDir + QStringLiteral("linkwell.lock"))
                && QFile::exists(dataDir + QStringLiteral("dbLink.mdb"));
        },
        60000);
}

} // namespace ProgramRun
