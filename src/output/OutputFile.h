#pragma once

#include <QByteArray>
#include <QString>

// The save dialog and the writer shared by the portal page and the document.
namespace OutputFile {

// Asks where to write the portal page (bHtm) or the document. The proposed name comes from the
// group selector's text ("*" proposes "Portal"), in the data folder's "Doc" folder. Returns the
// full path exactly as chosen, or an empty text when the user cancelled.
QString AskFile(bool bHtm, const QString &groupText, const QString &dataPh);

// The proposed file name without folder, e.g. "Portal.htm" or "News.docx".
QString proposedName(bool bHtm, const QString &groupText);

// Writes bytes, replacing any old file only when the whole file is written and flushed. On
// failure shows one message naming the file and the reason and returns false. An empty path
// writes nothing and returns false.
bool SaveBytes(const QString &sPath, const QByteArray &bytes);

} // namespace OutputFile
