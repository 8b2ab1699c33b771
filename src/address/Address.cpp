#include "Address.h"

namespace Address {

bool isOpenable(const QString &address)
{
    QStringView text(address);
    while (!text.isEmpty() && text.front().isSpace())
        text = text.mid(1);
    // A local path without a scheme is a file.
    if (text.startsWith(u'/'))
        return true;
    const qsizetype colon = text.indexOf(u':');
    if (colon <= 0)
        return false;
    const QStringView scheme = text.left(colon);
    for (const char *known : {"http", "https", "file", "ftp"}) {
        if (scheme.compare(QLatin1StringView(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace Address
