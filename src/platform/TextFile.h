#pragma once

#include <QByteArray>
#include <QString>

// Every file the program writes in place goes through here: a temporary file renamed over
// the old one, so a crash or a full disk never leaves half a file.
namespace TextFile {

// Writes the bytes; on failure returns false, leaves any old file as it was and puts a
// readable reason into *error.
bool writeAtomic(const QString &path, const QByteArray &bytes, QString *error = nullptr);
// Code page 932 text.
bool writeCp932(const QString &path, const QString &text, QString *error = nullptr);

} // namespace TextFile
