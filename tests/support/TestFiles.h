#pragma once

#include <QFile>
#include <QTest>

// Whole files in and out, for tests that check what was written byte for byte.
namespace TestFiles {

// The file's bytes, or a marker no test expects when it cannot be read.
inline QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace TestFiles
