#include "AddressBar.h"

#include "address/Address.h"

#include <QUrl>
#include <QUrlQuery>

namespace AddressBar {

QString target(const QString &typed, const QString &searchPage)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {};
    if (Address::isOpenable(text))
        return text;
    // A host with a dot and no spaces is a page the user means; anything with a scheme the
    // program does not open ("javascript:") is searched for, never run.
    if (!text.contains(u' ') && !text.contains(u':')) {
        const QUrl url(QStringLiteral("https://") + text, QUrl::StrictMode);
        const QString host = url.host();
        if (url.isValid() && host.contains(u'.') && !host.startsWith(u'.') && !host.endsWith(u'.'))
            return url.toString();
    }
    if (searchPage.contains(QStringLiteral("%s")))
        return QString(searchPage)
            .replace(QStringLiteral("%s"), QString::fromLatin1(QUrl::toPercentEncoding(text)));
    QUrl search(searchPage);
    QUrlQuery query(search);
    query.removeAllQueryItems(QStringLiteral("q"));
    query.addQueryItem(QStringLiteral("q"), QString::fromLatin1(QUrl::toPercentEncoding(text)));
    search.setQuery(query);
    return search.toString(QUrl::FullyEncoded);
}

} // namespace AddressBar
