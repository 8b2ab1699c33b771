#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Every file the program writes in place goes through here: a temporary file renamed over
// the old one, so a crash or a full disk never leaves half a file.
namespace TextFile {

// Writes the bytes; on failure returns false, leaves any old file as it was and puts a
// readable reason into *error.
bool writeAtomic(const QString &path, const QByteArray &bytes, QString *error = nullptr);
// The same for a file written piece by piece: produce hands the bytes to write() in order and
// returns true when the file is whole. A failed write makes write() return false and is said
// in *error; when produce gives up by itself, nothing is replaced and *error is left alone.
using WriteFn = std::function<bool(QByteArrayView bytes)>;
bool writeAtomicStream(const QString &path, const std::function<bool(const WriteFn &)> &produce,
                       QString *error = nullptr);

// The reason to show for an errno value; a full disk is said in words a user knows.
QString reasonOf(int code);
// The message when a file cannot be written: "ﾌｧｲﾙ <path> に書き込めません: <reason>".
QString writeFailedText(const QString &path, const QString &reason);

enum class ReadResult { Read, Missing, Failed };
// Reads a whole regular file of at most maxBytes. Anything else (a folder, a FIFO, a device,
// a socket, a larger file) is refused without reading from it, so it can neither block nor
// fill the memory; *error then says why.
ReadResult readRegular(const QString &path, qint64 maxBytes, QByteArray *bytes,
                       QString *error = nullptr);

} // namespace TextFile
