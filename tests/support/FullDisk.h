#pragma once

#include <QFile>
#include <QTemporaryDir>

#include <sys/mount.h>

// A small file system filled to the last byte, so writes into it fail as on a full disk.
// Only root may mount one; elsewhere isValid() is false and the test skips.
class FullDisk
{
public:
    // The files are written before the disk is filled.
    explicit FullDisk(const QList<QPair<QString, QByteArray>> &files = {})
    {
        m_mounted
            = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=256k")
            == 0;
        for (const auto &[name, bytes] : files) {
            QFile f(path(name));
            m_mounted = m_mounted && f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        }
        QFile filler(path(QStringLiteral(".filler")));
        if (m_mounted && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size()) { }
        }
    }
    ~FullDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

    bool isValid() const { return m_mounted; }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
