#include "MaintenanceGrids.h"

#include "address/UrlKey.h"
#include "app/Usr.h"
#include "check/CheckHistory.h"
#include "pages/PageImage.h"
#include "platform/Twips.h"
#include "platform/widgets/Grid.h"
#include "store/LinkStore.h"

#include <QCoreApplication>
#include <QItemSelectionModel>

#include <algorithm>
#include <initializer_list>
#include <limits>

namespace MaintenanceGrids {
namespace {

const QColor kDarkBlue(0, 0, 128);
constexpr int kGroupGridWidth = 3285; // twips
constexpr double kNumberWidth = 3.5;
constexpr double kLinkGroupWidth = 10.0;
constexpr double kTitleWidth = 36.0;

struct Column
{
    const char *header; // translated in the context "MaintenanceGrids"
    double width; // 0: hidden
    enum { Text, Number, Combo } kind;
    int decimals = 0;
    double min = 0, max = 0;
    bool locked = false;
    bool blue = false;
};

Grid *make(QWidget *parent, std::initializer_list<Column> columns)
{
    static const QFont font
        = Grid::pickFont({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                          QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                          QStringLiteral("Noto Sans CJK JP")});
    auto *g = new Grid(parent);
    g->setFont(font);
    g->SetReplaceOnEdit(true);
    g->SetRowHeadersVisible(true);
    g->SetRowHeaderWidth(1.37);
    g->SetMaxCols(int(columns.size()));
    int c = 0;
    for (const Column &s : columns) {
        ++c;
        if (*s.header)
            g->SetHeader(c, QCoreApplication::translate("MaintenanceGrids", s.header));
        if (s.width == 0)
            g->SetColHidden(c, true);
        else
            g->SetColWidth(c, s.width);
        if (s.kind == Column::Number)
            g->SetColNumber(c, s.decimals, s.min, s.max);
        else if (s.kind == Column::Combo)
            g->SetColCombo(c);
        else if (s.width != 0 && !s.locked)
            g->SetColText(c, 60);
        g->SetColLocked(c, s.locked);
        if (s.blue)
            g->SetColForeground(c, kDarkBlue);
    }
    return g;
}

} // namespace

Grid *groups(QWidget *parent)
{
    return make(parent,
                {{"", 0, Column::Text},
                 {"No", 3.5, Column::Text, 0, 0, 0, true},
                 {QT_TRANSLATE_NOOP("MaintenanceGrids", "分類"), 14.5, Column::Text},
                 {QT_TRANSLATE_NOOP("MaintenanceGrids", "並順"), 5.0, Column::Number, 1, 0, 999.9,
                  false, true}});
}

Grid *links(QWidget *parent)
{
    Grid *g = make(parent,
                   {{"", 0, Column::Text},
                    {"No", kNumberWidth, Column::Number, 0, 0, 99999999, true},
                    {QT_TRANSLATE_NOOP("MaintenanceGrids", "表題"), kTitleWidth, Column::Text},
                    {QT_TRANSLATE_NOOP("MaintenanceGrids", "分類"), kLinkGroupWidth, Column::Combo},
                    {QT_TRANSLATE_NOOP("MaintenanceGrids", "並順"), 4.5, Column::Number, 1, 0,
                     999.9, false, true},
                    {"URL", 0, Column::Text},
                    {QT_TRANSLATE_NOOP("MaintenanceGrids", "ﾁｪｯｸ"), 3.25, Column::Text},
                    {QT_TRANSLATE_NOOP("MaintenanceGrids", "秒"), 7.0, Column::Number, 2,
                     -99999999.99, 99999999.99},
                    {"", 0, Column::Text}});
    g->SetColAlignment(LinkColumn::Mark, Qt::AlignCenter);
    // A link without a title shows its address there; editing starts from the empty title.
    g->model()->column(LinkColumn::Title).shownWhenEmpty = LinkColumn::Address;
    // Hovering a row shows its page picture; the check's columns, the link's check history.
    g->model()->setToolTip([g](int col, int row) {
        QList<CheckRecord> history;
        if ((col == LinkColumn::Mark || col == LinkColumn::Time)
            && LinkStore::lastChecks(g->GetText(LinkColumn::Number, row).toLongLong(), history)) {
            const QString tip = CheckHistory::toolTip(history, g->GetText(LinkColumn::Address, row),
                                                      g->GetText(LinkColumn::MovedTo, row));
            if (!tip.isEmpty())
                return tip;
        }
        return PageImage::toolTipFor(Usr::sDataPh, g->GetText(LinkColumn::Number, row));
    });
    return g;
}

void fit(Grid *groups, Grid *links, const QStringList &names)
{
    for (Grid *g : {groups, links}) {
        QByteArrayView longest;
        for (int r = 1; r <= g->MaxRows(); ++r) {
            if (const QByteArrayView n = g->model()->row(r).cell(GroupColumn::Number - 1);
                n.size() > longest.size())
                longest = n;
        }
        g->FitColWidth(GroupColumn::Number, {QString::fromUtf8(longest)}, kNumberWidth);
    }
    // A long name takes room from the title, never more than the title keeps.
    links->FitColWidth(LinkColumn::Group, names, kLinkGroupWidth, kTitleWidth);
}

void place(Grid *groups, Grid *links, int top, const QSize &area)
{
    const int gw = Twips::toPixelsX(kGroupGridWidth);
    // Windows smaller than the margins keep grids of no size rather than negative ones.
    const int h = qMax(0, area.height() - top - Twips::toPixelsY(50));
    groups->setGeometry(0, top, gw, h);
    links->setGeometry(gw + Twips::toPixelsX(60), top,
                       qMax(0, area.width() - gw - Twips::toPixelsX(180)), h);
}

bool read(Contents &out, QString *error)
{
    const QByteArrayView fresh("11");
    auto sortText
        = [](bool has, double v) { return has ? QByteArray::number(v, 'f', 1) : QByteArray(); };
    QList<GroupRecord> groups;
    bool ok = LinkStore::forEachGridGroup(
        [&](const LinkStore::GroupView &g) {
            out.groups.push_back(
                PackedRow {fresh, g.nGrpText, g.sGrp, sortText(g.hasSort, g.gSrt)});
            const QString name = QString::fromUtf8(g.sGrp);
            out.names += name + u'\t';
            // A missing sort key comes first, as the engine orders it.
            groups.append(
                {g.nGrp, name, g.hasSort ? g.gSrt : -std::numeric_limits<double>::infinity()});
        },
        error);
    // Each link shows the mark of its latest check, and where its page moved for good.
    QHash<qint64, CheckHistory::Latest> checks;
    ok = ok && CheckHistory::readLatest(checks, error);
    out.checked = !checks.isEmpty();
    ok = ok
        && LinkStore::forEachGridLink(
             [&](const LinkStore::LinkView &l) {
                 const auto c = checks.constFind(l.nURL);
                 const bool has = c != checks.cend();
                 out.links.push_back(
                     PackedRow {fresh, l.nURLText, l.sNam, l.sGrp, sortText(l.hasSort, l.gSrt),
                                l.sURL, has ? c->mark().toUtf8() : QByteArray(), QByteArrayView(),
                                has ? c->last.movedTo.toUtf8() : QByteArray()});
             },
             error);
    Usr::CutEnd(out.names, QStringLiteral("\t"));
    out.groupList = GroupList(groups);
    return ok;
}

void fill(Grid *g, std::vector<PackedRow> &&rows)
{
    if (!rows.empty()) {
        g->model()->fillRows(std::move(rows));
        return;
    }
    g->SetMaxRows(0);
    g->SetMaxRows(5);
    for (int r = 1; r <= 5; ++r)
        g->SetText(GroupColumn::State, r, QStringLiteral("11"));
}

std::vector<int> selectLaterTwins(Grid *g)
{
    std::vector<QString> addresses(size_t(g->MaxRows()));
    std::vector<UrlKey::Numbered> links;
    QHash<qint64, int> rowOf;
    for (int r = 1; r <= g->MaxRows(); ++r) {
        bool ok = false;
        const qint64 n = g->GetText(LinkColumn::Number, r).toLongLong(&ok);
        if (!ok)
            continue;
        addresses[size_t(r - 1)] = g->GetText(LinkColumn::Address, r);
        links.push_back({n, addresses[size_t(r - 1)]});
        rowOf.insert(n, r);
    }
    std::vector<int> rows;
    for (const qint64 n : UrlKey::laterTwins(links))
        rows.push_back(rowOf.value(n));
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    for (const int r : rows)
        selection.select(g->model()->index(r - 1, 0), g->model()->index(r - 1, g->MaxCols() - 1));
    g->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.empty())
        g->scrollTo(g->model()->index(rows.front() - 1, LinkColumn::Title - 1));
    return rows;
}

std::vector<int> deadRows(Grid *g)
{
    std::vector<int> rows;
    for (int r = 1; r <= g->MaxRows(); ++r) {
        if (CheckHistory::isDeadMark(g->GetText(LinkColumn::Mark, r)))
            rows.push_back(r);
    }
    return rows;
}

std::vector<int> takeMovedAddresses(Grid *g, const std::vector<int> &rows)
{
    std::vector<int> changed;
    for (const int r : rows) {
        const QString movedTo = g->GetText(LinkColumn::MovedTo, r);
        if (movedTo.isEmpty() || movedTo == g->GetText(LinkColumn::Address, r))
            continue;
        g->SetText(LinkColumn::Address, r, movedTo);
        changed.push_back(r);
    }
    return changed;
}

} // namespace MaintenanceGrids
