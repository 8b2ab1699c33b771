#pragma once

#include <QByteArray>

// Bookmark files made on the spot for tests and benchmarks.
namespace BookmarkSamples {

// A file in the shape Chromium-family browsers write: n links in nested folders (10 folders of
// 10 of 5, links in the innermost, 1 % at the root), Japanese titles, an icon on every
// twentieth link, a description on every fifth, every fiftieth address a repeat of an earlier
// one, dates in no order. About 170 bytes a link.
QByteArray generated(int links);

// How many of generated(links)'s links repeat an earlier address.
int generatedRepeats(int links);

} // namespace BookmarkSamples
