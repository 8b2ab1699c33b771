#pragma once

#include "store/Records.h"

#include <QString>

// The rules of the registration panel: what a completed page shows, how the panel's text
// becomes a link, and whether the list's active row may be corrected. The main window only
// shows what these give.
namespace Registration {

// A web page's address (Address::isWeb).
bool isRegistrable(const QString &url);
// A page title that contains "http" in any letter case is no title.
QString pageTitle(const QString &title);
// The panel text: the title on the first line, then the first four lines of text joined by
// spaces and trimmed. The shortened text goes back into text.
QString panelText(const QString &title, QString &text);

// What the panel shows for a completed page.
struct Panel
{
    bool registrable = false;
    bool isNew = true;
    qint64 nURL = 0; // the registered link's number
    QString sortText; // "100" for a new page, the stored sort key with one decimal otherwise
    QString memo; // title and description
};
// Looks the page up and fills out. A registered link's stored title and description win over
// the page's own when they are not empty.
bool lookup(const QString &url, const QString &title, const QString &text, Panel &out,
            QString *error = nullptr);

// The panel's text as title (its first line) and description (the rest, every line ending in
// CR LF, without leading and trailing line ends).
void splitMemo(const QString &memo, QString &title, QString &desc);
// A correction is saved only when the list's active row holds the link on show; *n gets its
// number.
bool rowMatches(int listRows, const QString &activeNumber, qint64 nCurURL, qint64 *n);
// The link the panel describes.
LinkRecord record(qint64 nURL, const QString &url, qint64 nGrp, const QString &memo,
                  const QString &sortText);
// Inserts a new link (with the time it was added) or corrects a registered one.
bool save(bool isNew, const LinkRecord &link, qint64 addedSecs, QString *error = nullptr);

} // namespace Registration
