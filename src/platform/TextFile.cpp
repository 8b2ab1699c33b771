#include "TextFile.h"

#include "Cp932.h"

#include <QSaveFile>

namespace TextFile {

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
    return writeAtomic(path, Cp932::encode(text), error);
}

} // namespace TextFile
