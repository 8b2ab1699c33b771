#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

// The form in which the search compares texts: Unicode NFKC, then case folding. Width and
// compatibility forms fold together ("ﾃｽﾄ" and "テスト", "ＱＴ" and "qt", "①" and "1"), and so
// do letter cases. Half-width katakana with a voiced mark compose as they fold ("ｶﾞ" becomes
// "ガ"), so a query folds the same way and meets the composed form.
namespace SearchText {

QString fold(QStringView text);
QString fold(QByteArrayView utf8);
// The folded form of a character that folds the same whatever stands beside it (ASCII, kana,
// the common kanji, Japanese punctuation, full-width ASCII); false for any other character,
// which only the general rule folds.
bool foldsAlone(char32_t c, char32_t *out);

// True when the text is plain ASCII, which folds by lowering its letters.
bool isAscii(QByteArrayView utf8);

// The query's words: the folded query split at white space (the ideographic space U+3000 and
// the rest of Unicode's), empty pieces dropped.
QStringList words(QStringView query);

// The rule itself, written plainly: every word occurs in the folded text.
bool matches(QStringView text, const QStringList &words);

// True when every link that matches the newer words also matches the older ones: each older
// word lies inside some newer word. A search may then look only at the older result.
bool narrows(const QStringList &newer, const QStringList &older);

// The rule for one query over many links read straight from the database, without an index:
// folds only what it must (ASCII fields are compared as bytes, other fields are folded once
// when an ASCII search misses), so one pass over the rows costs little more than reading them.
class Matcher
{
public:
    explicit Matcher(QStringView query);
    bool isEmpty() const { return m_ascii.empty() && m_other.isEmpty(); }
    // True when every word occurs in the folded address, title or description.
    bool matches(QByteArrayView address, QByteArrayView title, QByteArrayView description) const;

private:
    // The same for any text: the fields outside ASCII folded whole.
    bool matchesFolding(QByteArrayView address, QByteArrayView title,
                        QByteArrayView description) const;

    std::vector<QByteArray> m_ascii; // words of ASCII only
    QStringList m_other;
};

} // namespace SearchText
