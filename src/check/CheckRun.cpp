#include "CheckRun.h"

#include "check/CheckHistory.h"
#include "store/LinkStore.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(CheckRun)
};

// Control characters would break the line into two, or into more fields.
QString oneField(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

bool readLinks(qint64 nGrp, bool all, QList<CheckRun::Link> &out, QString *error)
{
    out.clear();
    QString why;
    // Group 0 has no filter of its own in the store: every link is read and sorted out here.
    const bool read = LinkStore::forEachLink(
        all ? 0 : nGrp,
        [&](const LinkStore::LinkView &l) {
            if (all || l.nGrp == nGrp)
                out.append({l.nURL, QString::fromUtf8(l.sURL)});
        },
        &why);
    if (!read && error)
        *error = Tr::tr("ﾘﾝｸの読み込みに失敗しました: %1").arg(why);
    return read;
}

} // namespace

QString CheckRun::Checked::line() const
{
    return QString::number(nURL) + u'\t' + result.verdictName() + u'\t'
        + QString::number(result.status) + u'\t' + oneField(result.finalAddress) + u'\t'
        + result.timeText();
}

CheckRun::CheckRun(HttpClient *client, QObject *parent)
    : QObject(parent)
    , m_check(client)
{
}

bool CheckRun::allLinks(QList<Link> &out, QString *error)
{
    return readLinks(0, true, out, error);
}

bool CheckRun::linksOfGroup(qint64 nGrp, QList<Link> &out, QString *error)
{
    return readLinks(nGrp, false, out, error);
}

int CheckRun::deadCount() const
{
    return int(std::count_if(m_results.begin(), m_results.end(),
                             [](const Checked &c) { return c.result.isDead(); }));
}

void CheckRun::stop()
{
    m_check.cancel();
}

bool CheckRun::run(const QList<Link> &links, QString *error)
{
    m_results.clear();
    m_stopped = false;
    QList<LinkCheck::Row> jobs;
    jobs.reserve(links.size());
    for (const Link &l : links)
        jobs.append({l.nURL, l.address});
    QList<CheckRecord> history;
    history.reserve(links.size());
    QEventLoop wait;
    bool done = false;
    const auto c1
        = connect(&m_check, &LinkCheck::rowChecked, &wait, [&](qint64 n, const LinkResult &r) {
              const CheckRecord record = CheckHistory::record(n, r);
              history.append(record);
              // A dead link's mark depends on the checks before this run.
              QList<CheckRecord> checks;
              if (r.isDead())
                  LinkStore::lastChecks(n, checks);
              checks.prepend(record);
              m_results.append({n, r, CheckHistory::mark(checks)});
              Q_EMIT checked(m_results.last());
          });
    const auto c2 = connect(&m_check, &LinkCheck::progress, this, &CheckRun::progress);
    const auto c3 = connect(&m_check, &LinkCheck::finished, &wait, [&](bool cancelled) {
        m_stopped = cancelled;
        done = true;
        wait.quit();
    });
    if (m_check.start(jobs) && !done)
        wait.exec();
    disconnect(c1);
    disconnect(c2);
    disconnect(c3);
    // One transaction for the whole run, stopped or not.
    QString why;
    if (!history.isEmpty() && !LinkStore::recordChecks(history, &why)) {
        if (error)
            *error = Tr::tr("ﾁｪｯｸ結果を記録できませんでした: %1").arg(why);
        return false;
    }
    return true;
}
