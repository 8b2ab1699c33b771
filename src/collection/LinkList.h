#pragma once

#include "collection/ListRow.h"
#include "platform/PackedRow.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

namespace LinkStore {
struct LinkView;
}

// The rows of the main window's link list: number, address, group name, title, description,
// in the list's order.
namespace LinkList {

// The list's columns as the grid counts them, from 1. Scoped, so that a column is never
// taken for a row's cell index (which counts from 0): cell() and text() convert.
enum class Column : int { Number = 1, Address, GroupName, Title, Description };
using enum Column;
inline QByteArrayView cell(const PackedRow &row, Column c)
{
    return row.cell(int(c) - 1);
}
inline QString text(const PackedRow &row, Column c)
{
    return row.text(int(c) - 1);
}

// The links of group nGrp (all groups for nGrp <= 0) whose group row exists, by group sort
// key, group name, link sort key and title; or, when recent, the 50 highest numbers first.
// keep, when given, chooses the links by number. On failure the rows are untouched.
bool load(bool recent, qint64 nGrp, std::vector<PackedRow> &rows, QString *error = nullptr,
          const std::function<bool(qint64 nURL)> &keep = {});

// The first count rows of the whole list (every group), as loadAll makes them: only the groups
// that come first are read, so that a window can show them before the rest is read.
bool loadFirst(int count, std::vector<PackedRow> &rows, QString *error = nullptr);

// The listed links of group nGrp (all for nGrp <= 0) that choose() takes, in list order: one
// pass over the rows, only the chosen ones kept.
using ChooseFn = std::function<bool(const LinkStore::LinkView &)>;
bool loadChosen(qint64 nGrp, const ChooseFn &choose, std::vector<PackedRow> &rows,
                QString *error = nullptr);

// The listed links of the groups placed, by place first (a group's place: its folder's in a
// tree's order), then in list order; one pass over the rows and one sort.
bool loadPlaced(const QHash<qint64, int> &place, std::vector<PackedRow> &rows,
                QString *error = nullptr);

// A row as the outputs take it, its address read when the row leaves it out.
ListRow toListRow(const PackedRow &row);
QList<ListRow> toListRows(const std::vector<PackedRow> &rows);
// The row's address: its cell, or, where the row leaves it out (the whole list's rows), read by
// the row's number; empty when the link is gone.
QString address(const PackedRow &row);

// Every listed link in list order, with what places a link in that order, so that a link
// registered or corrected later can be put in its place without reading everything again. The
// rows hold an address only where the title is empty (the list shows it there): address()
// reads the others.
struct Ordered
{
    struct Key // 16 bytes: a million links hold 16 MB of keys
    {
        double sort = 0;
        quint32 number = 0; // kWideNumber: read from the row's number cell
        quint32 group = 0; // the group's place in groups
    };
    static constexpr quint32 kWideNumber = 0xFFFFFFFF;
    struct Group
    {
        qint64 number = 0;
        QByteArray name;
        int rank = 0;
    };
    std::vector<PackedRow> rows;
    std::vector<Key> keys; // keys[i] belongs to rows[i]
    std::vector<Group> groups;
    QHash<qint64, quint32> groupAt; // a group's place in groups, by its number
    // UTF-8 of the addresses, titles and descriptions read, and of the addresses again where
    // they hold percent-encoding (the search holds them decoded too): what their index takes.
    size_t textBytes = 0;

    qint64 number(size_t i) const;
    qint64 group(size_t i) const { return groups[keys[i].group].number; }
    // The place of link number in rows, or -1.
    qsizetype find(qint64 number) const;

    // Puts the link (number, address, group, title, description) in its place, or takes it
    // out when its group has no row; an earlier row of the same number goes.
    void place(qint64 number, const QString &address, qint64 nGrp, const QString &title,
               const QString &description, double sort);
    void remove(qint64 number);
};
bool loadAll(Ordered &out, QString *error = nullptr);

} // namespace LinkList
