#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

// A snippet cut from a page's stored text: `tokens` places of the text as the index cuts it,
// around the first place where a word of the query starts (a word of several characters first;
// the words of one CJK character only when none of those is there), every hit inside marked
// with TextStore::kMarkOpen and kMarkClose, "…" where the text goes on. At the text's start or
// end, what lies between it and the window goes along, up to a few characters, so that a Latin
// word beside a CJK character is not lost. Empty when the text holds none of the words.
namespace TextSnippet {

inline constexpr int kTokens = 16;

// words are folded (SearchText::words).
QString of(QByteArrayView utf8, const QStringList &words, int tokens = kTokens);

} // namespace TextSnippet
