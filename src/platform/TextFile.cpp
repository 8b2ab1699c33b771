#include "TextFile.h"

#include "Cp932.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QScopeGuard>

#include <cerrno>
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

ReadResult failed(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return ReadResult::Failed;
}

} // namespace

bool writeAtomic(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool writeCp932(const QString &path, const QString &text, QString *error)
{
    if (!Cp932::isAvailable()) {
        if (error)
            *error = Cp932::unavailableText();
        return false;
    }
    return writeAtomic(path, Cp932::encode(text), error);
}

ReadResult readRegular(const QString &path, qint64 maxBytes, QByteArray *bytes, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st = {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return ReadResult::Missing;
        return failed(error, qt_error_string(errno));
    }
    if (!S_ISREG(st.st_mode))
        return failed(error, kindOf(st.st_mode));
    // Not blocking, in case something else took the file's place since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failed(error, qt_error_string(errno));
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &st) != 0)
        return failed(error, qt_error_string(errno));
    if (!S_ISREG(st.st_mode))
        return failed(error, kindOf(st.st_mode));
    if (st.st_size > maxBytes)
        return failed(error,
                      Tr::tr("大きすぎます(%1 ﾊﾞｲﾄ、上限 %2 ﾊﾞｲﾄ)")
                          .arg(QString::number(qint64(st.st_size)), QString::number(maxBytes)));
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
            return failed(error, qt_error_string(errno));
        }
        if (n == 0)
            break;
        done += n;
    }
    if (done > maxBytes)
        return failed(error, Tr::tr("大きすぎます(上限 %1 ﾊﾞｲﾄ)").arg(maxBytes));
    data.truncate(done);
    if (bytes)
        *bytes = data;
    return ReadResult::Read;
}

} // namespace TextFile
