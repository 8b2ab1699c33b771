#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>

struct fts5_tokenizer;

// How the full-text index cuts a page's text and a query into pieces. The text is folded as
// the title search folds it (SearchText::fold); a run of CJK characters (kana, kanji, hangul and
// their punctuation) becomes its overlapping two-character pieces, each with its first character
// alone at the same place, and the run's last character alone after them (so a one-character
// query is one term, and the pieces of two runs never join into one phrase); other letters and
// digits become words; everything else parts them. A query of CJK characters then finds exactly
// the texts holding it.
namespace TextPieces {

struct Piece
{
    QByteArrayView utf8; // the folded piece; valid during the call
    int start = 0; // the piece's bytes in the text given, before folding
    int end = 0;
    bool cjk = false;
    bool single = false; // one CJK character
    bool colocated = false; // at the place of the piece before it
};

// Cuts utf8; query: the form a query takes (its last run without its lone last character).
// each returns false to stop.
void cut(QByteArrayView utf8, bool query, const std::function<bool(const Piece &)> &each);

// The tokenizer for SQLite's FTS5, registered on the index's connection under kName.
inline constexpr char kName[] = "linkwell";
fts5_tokenizer *tokenizer();
// Makes it the tokenizer of every TextStore opened by path.
void useEverywhere();

// The FTS5 query for one folded word: a phrase of its pieces, a prefix when it ends in a Latin
// word. Empty when the word gives no piece (punctuation only).
QString matchOf(const QString &word);
// Every word's query joined with AND (or OR); words without pieces left out.
QString matchAll(const QStringList &words, bool any = false);

} // namespace TextPieces
