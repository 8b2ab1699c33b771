#pragma once

#include "store/TextStore.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct fts5_tokenizer;

// How the full-text index cuts a page's text and a query into pieces. The text is folded as
// the title search folds it (SearchText::fold); a run of CJK characters (kana, kanji, hangul and
// their punctuation) becomes its overlapping two-character pieces and the run's last character
// alone after them (so that the pieces of two runs never join into one phrase); other letters
// and digits become words; everything else parts them. A query of CJK characters then finds
// exactly the texts holding it. A one-character query is answered by a table of its own, which
// holds every CJK character alone (Cut::Chars): one term whose list is short, not a prefix
// merging every piece that starts with it.
namespace TextPieces {

struct Piece
{
    QByteArrayView utf8; // the folded piece; valid during the call
    int start = 0; // the piece's bytes in the text given, before folding
    int end = 0;
    bool cjk = false;
    bool single = false; // one CJK character
};

enum class Cut {
    Text, // a page's text
    Query, // its last run without its lone last character
    Chars, // every CJK character alone, nothing else
};
// Cuts utf8; each returns false to stop.
void cut(QByteArrayView utf8, Cut how, const std::function<bool(const Piece &)> &each);

// The tokenizer for SQLite's FTS5, registered on the index's connection under kName.
inline constexpr char kName[] = "linkwell";
fts5_tokenizer *tokenizer();
// Makes it the tokenizer of every TextStore opened by path.
void useEverywhere();

// How one folded word is found: its pieces in a row, the last one a prefix when it ends in a
// Latin word (or is a lone CJK character after others, which a text may hold as the start of a
// longer run's first piece); one CJK character alone is asked of the table of characters.
struct Phrase
{
    std::vector<QByteArray> pieces; // empty when the word gives none (punctuation only)
    bool prefix = false;
    TextStore::Table table = TextStore::Pieces;
};
Phrase phraseOf(const QString &word);

struct Match
{
    QString text; // empty when the word gives no piece (punctuation only)
    TextStore::Table table = TextStore::Pieces;
};
// The FTS5 query for one folded word (its phraseOf).
Match matchOf(const QString &word);

} // namespace TextPieces
