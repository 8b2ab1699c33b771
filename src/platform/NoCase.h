#pragma once

#include <QString>
#include <QStringView>

// Texts compared as the database's NOCASE collation compares them: ASCII letters without case,
// every other character as it is, in code point order.
namespace NoCase {

int compare(QStringView a, QStringView b);
bool equal(QStringView a, QStringView b);
size_t hash(QStringView s);

} // namespace NoCase
