#include "Registration.h"

#include "address/Address.h"
#include "platform/NumberText.h"
#include "store/LinkStore.h"

namespace Registration {
namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

bool isRegistrable(const QString &url)
{
    return Address::isWeb(url);
}

QString pageTitle(const QString &title)
{
    return title.contains(QStringLiteral("http"), Qt::CaseInsensitive) ? QString() : title;
}

QString panelText(const QString &title, QString &text)
{
    qsizetype from = 0;
    for (int found = 0; found < 4; ++found) {
        const qsizetype p = text.indexOf(kCrLf, from);
        if (p < 0)
            break;
        from = p + 2;
        if (found == 3)
            text.truncate(from);
    }
    text.replace(kCrLf, QStringLiteral(" "));
    text.remove(u'\r');
    qsizetype a = 0;
    qsizetype b = text.size();
    while (a < b && text[a] == u' ')
        ++a;
    while (b > a && text[b - 1] == u' ')
        --b;
    text = text.mid(a, b - a);
    return title + u'\n' + text;
}

bool lookup(const QString &url, const QString &pageTitleText, const QString &pageText, Panel &out,
            QString *error)
{
    QList<LinkRecord> candidates;
    if (!LinkStore::lookup(url, candidates, error))
        return false;
    std::optional<LinkRecord> found;
    for (const LinkRecord &c : std::as_const(candidates)) {
        if (Address::same(c.sURL, url)) {
            found = c;
            break;
        }
    }
    out = Panel();
    out.registrable = !url.isEmpty() && isRegistrable(url);
    out.isNew = !found;
    QString title = pageTitle(pageTitleText);
    QString text = pageText;
    if (found) {
        out.nURL = found->nURL;
        if (!found->sNam.isEmpty())
            title = found->sNam;
        if (!found->sMem.isEmpty())
            text = found->sMem;
        out.sortText = QString::number(NumberText::toSingle(found->gSrt), 'f', 1);
    } else {
        out.sortText = QStringLiteral("100");
    }
    out.memo = panelText(title, text);
    return true;
}

void splitMemo(const QString &memo, QString &title, QString &desc)
{
    QString all = memo;
    all.replace(kCrLf, QStringLiteral("\r"));
    all.replace(u'\n', u'\r');
    all.replace(u'\r', kCrLf);
    title = all;
    desc.clear();
    const qsizetype p = all.indexOf(kCrLf);
    if (p < 0)
        return;
    title = all.left(p);
    desc = all.mid(p + 2);
    while (desc.startsWith(kCrLf))
        desc.remove(0, 2);
    while (desc.endsWith(kCrLf))
        desc.chop(2);
}

bool rowMatches(int listRows, const QString &activeNumber, qint64 nCurURL, qint64 *n)
{
    if (listRows == 0)
        return false;
    bool ok = false;
    const qint64 number = activeNumber.toLongLong(&ok);
    if (!ok || number != nCurURL)
        return false;
    *n = number;
    return true;
}

LinkRecord record(qint64 nURL, const QString &url, qint64 nGrp, const QString &memo,
                  const QString &sortText)
{
    LinkRecord r;
    r.nURL = nURL;
    r.sURL = url;
    r.nGrp = nGrp;
    splitMemo(memo, r.sNam, r.sMem);
    r.gSrt = NumberText::toSingle(NumberText::lenient(sortText));
    return r;
}

bool save(bool isNew, const LinkRecord &link, qint64 addedSecs, QString *error)
{
    return isNew ? LinkStore::insertLink(link, addedSecs, error)
                 : LinkStore::updateLink(link, error);
}

} // namespace Registration
