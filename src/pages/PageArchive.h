#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

class WebBrowser;

// The saved copy of each registered page: one file per link in the data folder, an MHTML file
// Arc/<number>.mhtml (the embedded browser's) or a page sent from another browser,
// Arc/<number>.html; written under another name in the same folder and renamed into place once
// complete, so a copy is either whole or absent. A link keeps one copy: writing either kind
// removes the other.
namespace PageArchive {

// A copy larger than this is not kept: the data folder stays bounded.
inline constexpr qint64 kMaxBytes = 20 * 1024 * 1024;

// A page sent whole (one HTML file) may be as large as a request may be.
inline constexpr qint64 kMaxHtmlBytes = 64 * 1024 * 1024;

// dataPh + "Arc/"
QString folderFor(const QString &dataPh);
// dataPh + "Arc/" + number + ".mhtml"
QString fileFor(const QString &dataPh, qint64 nURL);
// dataPh + "Arc/" + number + ".html"
QString htmlFileFor(const QString &dataPh, qint64 nURL);
// The copy the link has, of either kind; empty when it has none.
QString copyOf(const QString &dataPh, qint64 nURL);
// The page sent for link nURL becomes its copy, the address recorded in a comment at its head;
// an MHTML copy of the link goes.
bool keepHtml(const QString &dataPh, qint64 nURL, const QString &address, const QByteArray &html,
              QString *error = nullptr);
// The name a copy is written under until it is complete; the orphan rule removes it.
QString partFileFor(const QString &dataPh, qint64 nURL);
// A copy of the link exists, or is being written.
bool hasCopy(const QString &dataPh, qint64 nURL);

// Puts the finished file part in place of path in one step, with the address it was made for
// recorded at its head. A part larger than kMaxBytes, or empty, is removed instead and an
// earlier copy stays; *error says why.
bool commit(const QString &part, const QString &path, const QString &address,
            QString *error = nullptr);
// The address a copy was made for, read from its head; empty when it names none.
QString addressOf(const QString &path);
// Removes the parts a run that ended midway left in Arc.
void removeParts(const QString &dataPh);

// Saves the page web shows as the copy of link nURL. Nothing is saved when the browser no
// longer shows address (the page registered; its anchors aside), and nothing happens while a
// copy of that link is being written. A copy whose link is gone or holds another address by
// the time it is finished is discarded. done(ok, message) comes later; message, for a
// failure, names the file and the reason.
using Done = std::function<void(bool ok, const QString &message)>;
void save(WebBrowser *web, const QString &address, const QString &dataPh, qint64 nURL, Done done);

// Deletes the copies of a link; true when none is left.
bool remove(const QString &dataPh, qint64 nURL);
// Deletes the copies in Arc whose number is not among numbers (sorted ascending), as
// PageImage::removeOrphans does with pictures; every copy when numbers is null.
void removeOrphans(const QString &dataPh, const std::vector<qint64> *numbers);

// "保存したﾍﾟｰｼﾞ (2026/12/07 14:30): <address>"
QString caption(const QDateTime &savedAt, const QString &address);
// Shows the copy of link nURL in web, with scripts off. *caption gets the window caption;
// false with *error (naming the file) when the link has no copy, or a copy of another address.
bool open(WebBrowser *web, const QString &dataPh, qint64 nURL, const QString &address,
          QString *caption, QString *error);

} // namespace PageArchive
