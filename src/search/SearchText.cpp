#include "search/SearchText.h"

#include <cstring>

namespace SearchText {

namespace {

QString foldAscii(QByteArrayView ascii)
{
    QString out(ascii.size(), Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (const char c : ascii)
        *d++ = char16_t(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return out;
}

} // namespace

bool isAscii(QByteArrayView utf8)
{
    const char *p = utf8.data();
    const char *end = p + utf8.size();
    for (; p + 8 <= end; p += 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        if (w & 0x8080808080808080ull)
            return false;
    }
    for (; p < end; ++p) {
        if (*p & 0x80)
            return false;
    }
    return true;
}

QString fold(QStringView text)
{
    bool ascii = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text.toString().toLower();
    return text.toString().normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QString fold(QByteArrayView utf8)
{
    if (isAscii(utf8))
        return foldAscii(utf8);
    return QString::fromUtf8(utf8).normalized(QString::NormalizationForm_KC).toCaseFolded();
}

QStringList words(QStringView query)
{
    // Folding first: NFKC turns U+3000 and other wide spaces into plain ones.
    const QString folded = fold(query);
    QStringList out;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= folded.size(); ++i) {
        const bool space = i == folded.size() || folded.at(i).isSpace();
        if (space && start >= 0) {
            out.append(folded.mid(start, i - start));
            start = -1;
        } else if (!space && start < 0) {
            start = i;
        }
    }
    return out;
}

bool matches(QStringView text, const QStringList &words)
{
    const QString folded = fold(text);
    for (const QString &w : words) {
        if (!folded.contains(w))
            return false;
    }
    return true;
}

bool narrows(const QStringList &newer, const QStringList &older)
{
    for (const QString &o : older) {
        bool inside = false;
        for (const QString &n : newer) {
            if (n.contains(o)) {
                inside = true;
                break;
            }
        }
        if (!inside)
            return false;
    }
    return true;
}

} // namespace SearchText
