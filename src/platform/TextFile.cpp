#include "TextFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TextFile {
namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(TextFile)
};

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return Tr::tr("ﾌｫﾙﾀﾞです");
    if (S_ISFIFO(mode))
        return Tr::tr("名前付きﾊﾟｲﾌﾟ(FIFO)です");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return Tr::tr("ﾃﾞﾊﾞｲｽです");
    if (S_ISSOCK(mode))
        return Tr::tr("ｿｹｯﾄです");
    return Tr::tr("通常のﾌｧｲﾙではありません");
}

QString sizeText(qint64 bytes)
{
    if (bytes % (qint64(1) << 30) == 0)
        return QStringLiteral("%1 GB").arg(bytes >> 30);
    if (bytes % (qint64(1) << 20) == 0)
        return QStringLiteral("%1 MB").arg(bytes >> 20);
    return Tr::tr("%1 ﾊﾞｲﾄ").arg(bytes);
}

bool failedWrite(QString *error, int code)
{
    if (error)
        *error = reasonOf(code);
    return false;
}

ReadResult failed(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return ReadResult::Failed;
}

} // namespace

QString reasonOf(int code)
{
    if (code == ENOSPC || code == EDQUOT)
        return Tr::tr("ﾃﾞｨｽｸに空きがありません");
    return qt_error_string(code);
}

bool writeAtomic(const QString &path, const QByteArray &bytes, QString *error)
{
    return writeAtomicStream(
        path, [&bytes](const WriteFn &write) { return write(bytes); }, error);
}

bool writeAtomicStream(const QString &path, const std::function<bool(const WriteFn &)> &produce,
                       QString *error)
{
    // Written by hand: QSaveFile buffers a small file and renames it into place even when the
    // buffered bytes never reached the disk.
    QFileInfo info(path);
    if (info.isSymLink())
        info = QFileInfo(info.symLinkTarget());
    if (info.isDir())
        return failedWrite(error, EISDIR);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    QByteArray temp = QFile::encodeName(info.absolutePath() + u"/." + info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return failedWrite(error, errno);
    bool open = true;
    auto cleanUp = qScopeGuard([&] {
        if (open)
            ::close(fd);
        ::unlink(temp.constData());
    });
    // The new file keeps the old one's permissions, or gets the usual ones.
    struct stat st = {};
    mode_t mode;
    if (::stat(target.constData(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0)
        return failedWrite(error, errno);
    int writeError = 0;
    const WriteFn write = [&](QByteArrayView bytes) {
        for (qsizetype done = 0; done < bytes.size() && writeError == 0;) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                writeError = n < 0 ? errno : EIO;
            else
                done += n;
        }
        return writeError == 0;
    };
    const bool produced = produce(write);
    if (writeError != 0)
        return failedWrite(error, writeError);
    if (!produced)
        return false;
    if (::fdatasync(fd) != 0)
        return failedWrite(error, errno);
    open = false;
    if (::close(fd) != 0)
        return failedWrite(error, errno);
    if (::rename(temp.constData(), target.constData()) != 0)
        return failedWrite(error, errno);
    cleanUp.dismiss();
    return true;
}

ReadResult readRegular(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return ReadResult::Missing;
        return failed(error, reasonOf(errno));
    }
    if (!S_ISREG(st.st_mode))
        return failed(error, kindOf(st.st_mode));
    // Not blocking, in case something else took the file's place since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failed(error, reasonOf(errno));
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &st) != 0)
        return failed(error, reasonOf(errno));
    if (!S_ISREG(st.st_mode))
        return failed(error, kindOf(st.st_mode));
    if (st.st_size > maxBytes)
        return failed(error,
                      Tr::tr("大きすぎます(%1 ﾊﾞｲﾄ、上限 %2)")
                          .arg(QString::number(qint64(st.st_size)), sizeText(maxBytes)));
    QByteArray data;
    data.resize(qsizetype(st.st_size));
    qsizetype done = 0;
    for (;;) {
        if (done == data.size()) {
            // The file may have grown since; never beyond the limit.
            if (done >= maxBytes + 1)
                break;
            data.resize(qMin<qsizetype>(done + 4096, maxBytes + 1));
        }
        const ssize_t n = ::read(fd, data.data() + done, size_t(data.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failed(error, reasonOf(errno));
        }
        if (n == 0)
            break;
        done += n;
    }
    if (done > maxBytes)
        return failed(error, Tr::tr("大きすぎます(上限 %1)").arg(sizeText(maxBytes)));
    data.truncate(done);
    if (bytes)
        *bytes = data;
    return ReadResult::Read;
}

QString writeFailedText(const QString &path, const QString &reason)
{
    // Said alike by the outputs and the bookmark export.
    return QCoreApplication::translate("OutputFile", "ﾌｧｲﾙ %1 に書き込めません: %2")
        .arg(path, reason);
}

} // namespace TextFile
