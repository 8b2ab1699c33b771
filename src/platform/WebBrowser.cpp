#include "WebBrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

bool WebBrowser::isArchived(const QUrl &url, const QString &folder)
{
    if (folder.isEmpty() || !url.isLocalFile())
        return false;
    const QString dir = QFileInfo(url.toLocalFile()).absolutePath();
    return QDir::cleanPath(dir) == QDir::cleanPath(QDir(folder).absolutePath());
}
