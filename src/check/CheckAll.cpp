#include "CheckAll.h"

#include "check/CheckHistory.h"
#include "store/GroupList.h"
#include "store/LinkStore.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <optional>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(CheckAll)
};

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// Control characters would break the line into two, or into more fields.
QString oneField(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

} // namespace

QString CheckAll::Row::line() const
{
    return QString::number(nURL) + u'\t' + result.verdictName() + u'\t'
        + QString::number(result.status) + u'\t' + oneField(result.finalAddress) + u'\t'
        + QString::number(double(qMax<qint64>(0, result.elapsedMs)) / 1000.0, 'f', 2);
}

CheckAll::CheckAll(HttpClient *client)
    : m_check(client)
{
}

bool CheckAll::run(const QString &group, QList<Row> &rows, QString *error, const Progress &progress)
{
    rows.clear();
    QString why;
    std::optional<qint64> nGrp;
    if (!group.isEmpty()) {
        GroupList groups;
        if (!GroupList::load(groups, &why))
            return fail(error, Tr::tr("分類の読み込みに失敗しました: %1").arg(why));
        if (const std::optional<int> found = groups.find(group))
            nGrp = *found;
        else
            return fail(error, Tr::tr("分類がありません: %1").arg(group));
    }
    QList<LinkCheck::Row> jobs;
    const bool read = LinkStore::forEachLink(
        0,
        [&](const LinkStore::LinkView &l) {
            if (!nGrp || l.nGrp == *nGrp)
                jobs.append({int(l.nURL), QString::fromUtf8(l.sURL)});
        },
        &why);
    if (!read)
        return fail(error, Tr::tr("ﾘﾝｸの読み込みに失敗しました: %1").arg(why));

    QList<CheckRecord> history;
    history.reserve(jobs.size());
    rows.reserve(jobs.size());
    QEventLoop wait;
    const auto c1 = QObject::connect(&m_check, &LinkCheck::rowChecked, &wait,
                                     [&](int n, const LinkResult &r) {
                                         rows.append({n, r});
                                         history.append(CheckHistory::record(n, r));
                                     });
    const auto c2 = QObject::connect(&m_check, &LinkCheck::progress, &wait,
                                     [&](int checked, int total, int dead) {
                                         if (progress)
                                             progress(checked, total, dead);
                                     });
    QObject::connect(&m_check, &LinkCheck::finished, &wait, &QEventLoop::quit);
    if (m_check.start(jobs))
        wait.exec();
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row &a, const Row &b) { return a.nURL < b.nURL; });
    // One transaction for the whole run.
    if (!history.isEmpty() && !LinkStore::recordChecks(history, &why))
        return fail(error, Tr::tr("ﾁｪｯｸ結果を記録できませんでした: %1").arg(why));
    return true;
}
