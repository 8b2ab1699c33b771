#include "Usr.h"

#include "platform/Dialogs.h"
#include "platform/NumberText.h"
#include "store/Sql.h"
#include "store/Statements.h"

#include <cmath>

namespace Usr {
namespace {

int nextNumber(const char *statement, int first, bool *ok)
{
    QString error;
    const Sql::Rows rows = Sql::query(Sql::SetPrm(QString::fromLatin1(statement), {}), &error);
    if (!error.isEmpty()) {
        Dialogs::message(QStringLiteral("番号を決められません: ") + error);
        if (ok)
            *ok = false;
        return 0;
    }
    if (ok)
        *ok = true;
    if (rows.isEmpty() || rows.first().value(0).isNull())
        return first;
    return rows.first().value(0).toInt() + 1;
}

} // namespace

int NewURLNo(bool *ok) { return nextNumber(Sql::kMaxUrlNo, 100, ok); }
int NewGrpNo(bool *ok) { return nextNumber(Sql::kMaxGrpNo, 1, ok); }

int GrpNoOf(const QString &name) { return GrpNoOf(name, sGrpList); }

int GrpNoOf(const QString &name, const QString &groupList)
{
    qsizetype start = 0;
    while (start < groupList.size()) {
        qsizetype end = groupList.indexOf(u'\r', start);
        if (end < 0)
            end = groupList.size();
        const QStringView record = QStringView(groupList).mid(start, end - start);
        const qsizetype tab = record.indexOf(u'\t');
        if (tab >= 0 && record.left(tab).compare(name, Qt::CaseInsensitive) == 0)
            return int(std::lround(NumberText::lenient(record.mid(tab + 1).toString())));
        start = end + 1;
    }
    return 0;
}

} // namespace Usr
