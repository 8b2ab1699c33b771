#include "Address.h"

#include <QUrl>

namespace Address {

bool isOpenable(const QString &address)
{
    const QString text = address.trimmed();
    // A local path without a scheme is a file.
    if (text.startsWith(u'/'))
        return true;
    const qsizetype colon = text.indexOf(u':');
    if (colon <= 0)
        return false;
    const QString scheme = text.left(colon).toLower();
    return scheme == u"http" || scheme == u"https" || scheme == u"file" || scheme == u"ftp";
}

} // namespace Address
