#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Texts compared as the database's NOCASE collation compares them: ASCII letters without case,
// every other character as it is, in code point order, a shorter text before a longer one that
// starts with it. The one order of group names and titles, over QString and over the UTF-8
// bytes the list holds (filled straight from the engine).
namespace NoCase {

int compare(QStringView a, QStringView b);
// The same order over UTF-8: its bytes in byte order sort as code points.
int compareUtf8(QByteArrayView a, QByteArrayView b);
// The first eight bytes folded, as a number (zeros past the end): texts whose prefixes differ
// compare as their prefixes do; equal prefixes say nothing. Sorts many texts without reading
// them again and again.
quint64 prefixUtf8(QByteArrayView a);
bool equal(QStringView a, QStringView b);
size_t hash(QStringView s);

} // namespace NoCase
