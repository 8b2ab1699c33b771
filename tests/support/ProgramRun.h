#pragma once

#include "support/WithoutRootAccess.h"

#include <QFile>
#include <QProcess>
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

struct Result
{
    int code = -1; // -1: hung, -2: crashed
    QByteArray out;
    QString err;
};

// One run to its end, with the test's event loop running meanwhile for the test's own servers;
// noRoot: without root's way past file permissions.
inline Result run(const QStringList &args, const QProcessEnvironment &env, bool noRoot = false)
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (noRoot)
        p.setChildProcessModifier(&WithoutRootAccess::dropForChild);
    p.start(QStringLiteral(LINKWELL_EXE), args);
    Result r;
    if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 120000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace ProgramRun
