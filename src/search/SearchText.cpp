#include "search/SearchText.h"

#include <QUrl>

#include <array>
#include <atomic>
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

bool foldsAlone(char32_t c, char32_t *out)
{
    if (c < 0x80) {
        *out = c >= 'A' && c <= 'Z' ? c + 32 : c;
        return true;
    }
    if ((c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC) {
        *out = c;
        return true;
    }
    if (c >= 0x3041 && c <= 0x3096) {
        *out = c + 0x60;
        return true;
    }
    // Japanese punctuation and brackets, which fold to themselves.
    if ((c >= 0x3001 && c <= 0x3011) || c == 0x30FB) {
        *out = c;
        return true;
    }
    // Full-width ASCII is ASCII.
    if (c >= 0xFF01 && c <= 0xFF5E)
        return foldsAlone(c - 0xFEE0, out);
    return false;
}

namespace {

// The text folded character by character when every one folds alone: most Japanese titles,
// without the cost of normalising. Null otherwise.
QString foldedAlone(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (const QChar c : text) {
        char32_t f;
        if (!foldsAlone(c.unicode(), &f))
            return {};
        *d++ = char16_t(f);
    }
    return out;
}

QString foldedAlone(QByteArrayView utf8)
{
    QString out(utf8.size(), Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = p + utf8.size();
    while (p < end) {
        char32_t c = *p;
        if (c < 0x80) {
            ++p;
        } else if ((c & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80
                   && (p[2] & 0xC0) == 0x80) {
            // Every character that folds alone outside ASCII takes three bytes.
            c = ((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            p += 3;
        } else {
            return {};
        }
        char32_t f;
        if (!foldsAlone(c, &f))
            return {};
        *d++ = char16_t(f);
    }
    out.truncate(d - reinterpret_cast<const char16_t *>(out.constData()));
    return out;
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
    if (QString alone = foldedAlone(text); !alone.isNull())
        return alone;
    return kanaFolded(text.toString().normalized(QString::NormalizationForm_KC).toCaseFolded());
}

QString fold(QByteArrayView utf8)
{
    if (isAscii(utf8))
        return foldAscii(utf8);
    if (QString alone = foldedAlone(utf8); !alone.isNull())
        return alone;
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

namespace {

// Whether a character outside ASCII stays out of every ASCII word: it folds to no ASCII
// character and joins no ASCII character before it (no mark, and folds to none first).
bool keepsOutOfAscii(char16_t c)
{
    if (QChar::isMark(c))
        return false;
    const QString f = fold(QStringView(&c, 1));
    if (!f.isEmpty() && f.front().isMark())
        return false;
    for (const QChar x : f) {
        if (x.unicode() < 0x80)
            return false;
    }
    return true;
}

// The same for every character of a UTF-8 text outside ASCII; false for what is not UTF-8 or
// lies past the Basic Multilingual Plane. Each character is judged once per process.
bool allKeepOutOfAscii(QByteArrayView utf8)
{
    static std::array<std::atomic<quint8>, 0x10000> known {}; // 0 not yet, 1 keeps out, 2 not
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = p + utf8.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        char16_t u;
        if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            u = char16_t(((c & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if (c >= 0xE0 && c <= 0xEF && end - p >= 3 && (p[1] & 0xC0) == 0x80
                   && (p[2] & 0xC0) == 0x80) {
            u = char16_t(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
            if (u < 0x800 || QChar::isSurrogate(u))
                return false;
        } else {
            return false;
        }
        quint8 k = known[u].load(std::memory_order_relaxed);
        if (k == 0) {
            k = keepsOutOfAscii(u) ? 1 : 2;
            known[u].store(k, std::memory_order_relaxed);
        }
        if (k != 1)
            return false;
    }
    return true;
}

} // namespace

bool Matcher::matches(QByteArrayView address, QByteArrayView title,
                      QByteArrayView description) const
{
    // When every character outside ASCII keeps out of ASCII words, an ASCII word occurs in the
    // folded fields exactly where it occurs in the fields with their ASCII letters lowered: no
    // field needs folding for it. Addresses with a '%' are searched decoded too: the long way.
    const QByteArrayView fields[] = {address, title, description};
    bool others = false;
    for (const QByteArrayView f : fields) {
        if (!isAscii(f)) {
            if (!allKeepOutOfAscii(f))
                return matchesFolding(address, title, description);
            others = true;
        }
    }
    if (address.contains('%'))
        return matchesFolding(address, title, description);
    thread_local std::string lowered;
    lowered.clear();
    for (const QByteArrayView f : fields) {
        const size_t at = lowered.size();
        lowered.resize(at + size_t(f.size()) + 1);
        char *d = lowered.data() + at;
        for (const char c : f)
            *d++ = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
        *d = '\n';
    }
    const std::string_view hay(lowered);
    for (const QByteArray &w : m_ascii) {
        if (hay.find(std::string_view(w.constData(), size_t(w.size()))) == std::string_view::npos)
            return false;
    }
    if (m_other.isEmpty())
        return true;
    if (!others)
        return false;
    QString folded;
    for (const QByteArrayView f : fields) {
        if (!isAscii(f)) {
            folded += fold(f);
            folded += u'\n';
        }
    }
    for (const QString &w : m_other) {
        if (!folded.contains(w))
            return false;
    }
    return true;
}

bool Matcher::matchesFolding(QByteArrayView address, QByteArrayView title,
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
