#include "search/SearchText.h"

#include <QUrl>

#include <cstring>
#include <string>
#include <string_view>

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

namespace {

// Hiragana as katakana, so that either finds the other ("にゅーす" and "ニュース").
QString kanaFolded(QString text)
{
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3041 && u <= 0x3096) || u == 0x309D || u == 0x309E)
            c = QChar(char16_t(u + 0x60));
    }
    return text;
}

} // namespace

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
    return kanaFolded(text.toString().normalized(QString::NormalizationForm_KC).toCaseFolded());
}

QString fold(QByteArrayView utf8)
{
    if (isAscii(utf8))
        return foldAscii(utf8);
    return kanaFolded(
        QString::fromUtf8(utf8).normalized(QString::NormalizationForm_KC).toCaseFolded());
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

Matcher::Matcher(QStringView query)
{
    for (const QString &w : words(query)) {
        bool ascii = true;
        for (const QChar c : w)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii)
            m_ascii.push_back(w.toLatin1());
        else
            m_other.append(w);
    }
}

bool Matcher::matches(QByteArrayView address, QByteArrayView title,
                      QByteArrayView description) const
{
    // The ASCII fields lowered into one buffer, the others folded only when a word needs them.
    thread_local std::string lowered;
    lowered.clear();
    QString folded;
    bool foldedMade = false;
    bool others = false;
    // Addresses carry Japanese words percent-encoded; the index searches the decoded form too.
    QString decoded;
    if (address.contains('%')) {
        decoded = QUrl::fromPercentEncoding(address.toByteArray());
        if (isAscii(decoded.toUtf8()))
            decoded.clear();
        else
            others = true;
    }
    for (const QByteArrayView f : {address, title, description}) {
        if (!isAscii(f)) {
            others = true;
            continue;
        }
        for (const char c : f)
            lowered.push_back(char(c >= 'A' && c <= 'Z' ? c + 32 : c));
        lowered.push_back('\n');
    }
    auto makeFolded = [&] {
        if (foldedMade)
            return;
        foldedMade = true;
        for (const QByteArrayView f : {address, title, description}) {
            if (!isAscii(f)) {
                folded += fold(f);
                folded += u'\n';
            }
        }
        if (!decoded.isEmpty())
            folded += fold(decoded);
    };
    const std::string_view hay(lowered);
    for (const QByteArray &w : m_ascii) {
        if (hay.find(std::string_view(w.constData(), size_t(w.size()))) != std::string_view::npos)
            continue;
        if (!others)
            return false;
        makeFolded();
        if (!folded.contains(QLatin1StringView(w)))
            return false;
    }
    if (m_other.isEmpty())
        return true;
    if (!others)
        return false;
    makeFolded();
    for (const QString &w : m_other) {
        if (!folded.contains(w))
            return false;
    }
    return true;
}

} // namespace SearchText
