#include "search/LinkSearch.h"

#include "search/ByteFinder.h"
#include "search/SearchText.h"

#include <QUrl>

#include <algorithm>
#include <bit>

namespace {

constexpr quint16 kLong = 0xFFFF; // the code of a character written in three bytes
constexpr int kShortCodes = 2048;
constexpr size_t kPad = 64; // spaces after the text, so that block reads need no bounds checks

// The bytes of one non-ASCII character: a short code (1..2048) in two bytes, another BMP
// character in three as UTF-8 writes it, one beyond the BMP in four. Two-byte codes start with
// 0xC0..0xDF, three-byte ones with 0xE0..0xEF, four-byte ones with 0xF0..0xF4, and the bytes
// after the first are 0x80..0xBF, so no match can begin inside a character.
template<class Push> void putCode(char32_t cp, quint16 code, Push push)
{
    if (cp >= 0x10000) {
        push(char(0xF0 | (cp >> 18)));
        push(char(0x80 | ((cp >> 12) & 0x3F)));
        push(char(0x80 | ((cp >> 6) & 0x3F)));
        push(char(0x80 | (cp & 0x3F)));
    } else if (code != kLong) {
        push(char(0xC0 | ((code - 1) >> 6)));
        push(char(0x80 | ((code - 1) & 0x3F)));
    } else {
        push(char(0xE0 | (cp >> 12)));
        push(char(0x80 | ((cp >> 6) & 0x3F)));
        push(char(0x80 | (cp & 0x3F)));
    }
}

inline void prefetch(const char *p)
{
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    Q_UNUSED(p);
#endif
}

// Grown by a sixteenth, not doubled: a registration after a million links were read must not
// leave megabytes of slack.
template<class T> void pushFitted(std::vector<T> &v, T value)
{
    if (v.size() == v.capacity())
        v.reserve(v.size() + v.size() / 16 + 16);
    v.push_back(value);
}

bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

LinkSearch::LinkSearch()
    : m_code(0x10000, 0)
{
    clear();
}

void LinkSearch::clear()
{
    m_text = {};
    m_text.assign(1 + kPad, ' '); // position 0: a space before the first link, never in a slot
    m_used = 1;
    m_garbage = 0;
    m_start = {quint32(m_used)};
    m_slots.clear();
    m_position = {};
    m_slotAt = {};
    std::fill(m_code.begin(), m_code.end(), quint16(0));
    m_bytes.fill(0);
    m_nextShort = 0;
    ++m_generation;
}

// ---- Building ---------------------------------------------------------------------------------

void LinkSearch::appendSpace()
{
    if (m_text.back() != ' ')
        push(' ');
}

void LinkSearch::appendField(QByteArrayView utf8)
{
    if (!SearchText::isAscii(utf8)) {
        appendFolded(SearchText::fold(utf8));
        return;
    }
    for (char c : utf8) {
        if (isAsciiSpace(c)) {
            appendSpace();
            continue;
        }
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
        push(c);
    }
}

void LinkSearch::appendFolded(QStringView folded)
{
    const auto pushByte = [this](char c) { push(c); };
    const qsizetype n = folded.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = folded.at(i).unicode();
        if (u < 0x80) {
            if (isAsciiSpace(char(u)))
                appendSpace();
            else
                push(char(u));
            continue;
        }
        if (QChar::isSpace(u)) {
            appendSpace();
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < n && folded.at(i + 1).isLowSurrogate()) {
            putCode(QChar::surrogateToUcs4(u, folded.at(++i).unicode()), 0, pushByte);
            continue;
        }
        quint16 &code = m_code[u];
        if (code == 0)
            code = m_nextShort < kShortCodes ? quint16(++m_nextShort) : kLong;
        putCode(u, code, pushByte);
    }
}

void LinkSearch::encodeLink(const Fields &link)
{
    appendField(link.address);
    appendSpace();
    // Addresses carry Japanese words percent-encoded; the decoded form is searched as well.
    if (link.address.contains('%')) {
        const QString decoded = QUrl::fromPercentEncoding(link.address.toByteArray());
        if (!SearchText::isAscii(decoded.toUtf8())) {
            appendFolded(SearchText::fold(decoded));
            appendSpace();
        }
    }
    appendField(link.title);
    appendSpace();
    appendField(link.description);
    appendSpace();
}

quint32 LinkSearch::appendSlot(const Fields &link, qint32 position)
{
    // Room for the most the link can take (a UTF-8 character of two bytes may take three, the
    // decoded address adds at most the address again), grown by a sixteenth at a time: a
    // registration must not double the block the way a vector grows.
    const size_t most
        = size_t(link.address.size() + link.title.size() + link.description.size()) * 3 / 2
        + size_t(link.address.size()) + 4;
    if (m_text.capacity() < m_used + most + kPad)
        m_text.reserve(m_used + most + kPad + m_used / 16);
    m_text.resize(m_used); // the padding goes and comes back after the new text
    encodeLink(link);
    m_used = m_text.size();
    m_text.resize(m_used + kPad, ' ');
    const quint32 slot = m_slots.append(link.number);
    pushFitted(m_start, quint32(m_used));
    pushFitted(m_position, position);
    if (position >= 0)
        m_slotAt[size_t(position)] = slot;
    return slot;
}

void LinkSearch::blank(quint32 slot)
{
    // Spaces never match a word, so the old text simply drops out of every search.
    std::fill(m_text.begin() + m_start[slot], m_text.begin() + m_start[slot + 1], ' ');
    m_garbage += m_start[slot + 1] - m_start[slot];
    m_slots.drop(slot);
    m_position[slot] = -1;
}

void LinkSearch::rebuild(std::span<const Fields> links)
{
    rebuild(links.size(), [links](size_t i) { return links[i]; });
}

void LinkSearch::rebuild(size_t count, const std::function<Fields(size_t)> &link)
{
    size_t bytes = 0;
    for (size_t i = 0; i < count; ++i) {
        const Fields f = link(i);
        bytes += size_t(f.address.size() + f.title.size() + f.description.size());
    }
    startBuild(count, bytes);
    for (size_t i = 0; i < count; ++i) {
        const Fields f = link(i);
        const quint32 old = m_slots.slotOf(f.number);
        auto position = qint32(m_slotAt.size());
        if (old != NumberSlots::kNone) {
            position = m_position[old];
            blank(old);
        } else {
            m_slotAt.push_back(NumberSlots::kNone);
        }
        appendSlot(f, position);
    }
    finishBuild();
}

bool LinkSearch::rebuild(size_t count, size_t textBytes, const EachFn &each)
{
    startBuild(count, textBytes);
    const bool ok = each([this](const Fields &f) {
        if (const quint32 old = m_slots.slotOf(f.number); old != NumberSlots::kNone)
            blank(old);
        appendSlot(f, -1);
    });
    if (!ok) {
        clear();
        return false;
    }
    finishBuild();
    return true;
}

void LinkSearch::startBuild(size_t count, size_t textBytes)
{
    clear();
    // The encoded text is at most about the UTF-8's size (Japanese takes less).
    const size_t bytes = textBytes + count * 3;
    m_text.reserve(bytes + bytes / 32 + kPad + 1);
    m_start.reserve(count + 1);
    m_slots.reserve(count);
    m_position.reserve(count);
    m_slotAt.reserve(count);
}

void LinkSearch::finishBuild()
{
    // Fitted in place, with room for a few thousand registrations: growing later is a
    // realloc too, which moves no bytes for a block this large.
    if (m_text.capacity() - m_text.size() > m_text.size() / 128)
        m_text.fit(m_text.size() / 256);
    compactIfWasteful();
    ++m_generation;
}

void LinkSearch::upsert(const Fields &link)
{
    qint32 position = -1;
    if (const quint32 old = m_slots.slotOf(link.number); old != NumberSlots::kNone) {
        position = m_position[old];
        blank(old);
    }
    appendSlot(link, position);
    compactIfWasteful();
    ++m_generation;
}

bool LinkSearch::remove(qint64 number)
{
    const quint32 slot = m_slots.slotOf(number);
    if (slot == NumberSlots::kNone)
        return false;
    blank(slot);
    compactIfWasteful();
    ++m_generation;
    return true;
}

void LinkSearch::remove(std::span<const qint64> numbers)
{
    for (const qint64 n : numbers) {
        if (const quint32 slot = m_slots.slotOf(n); slot != NumberSlots::kNone)
            blank(slot);
    }
    compactIfWasteful();
    ++m_generation;
}

void LinkSearch::compactIfWasteful()
{
    if (m_garbage < 65536 || m_garbage * 8 < m_used)
        return;
    // Live texts move down over the blanks, in their order; nothing is folded again.
    TextArena text;
    text.reserve(m_used - m_garbage + kPad);
    text.push_back(' ');
    std::vector<quint32> start;
    NumberSlots kept;
    std::vector<qint32> position;
    start.reserve(m_slots.size() + 1);
    kept.reserve(m_slots.size());
    position.reserve(m_slots.size());
    std::fill(m_slotAt.begin(), m_slotAt.end(), NumberSlots::kNone);
    for (quint32 s = 0; s < m_slots.slotCount(); ++s) {
        if (!m_slots.live(s))
            continue;
        start.push_back(quint32(text.size()));
        text.append(m_text.begin() + m_start[s], m_text.begin() + m_start[s + 1]);
        const quint32 slot = kept.append(m_slots.number(s));
        position.push_back(m_position[s]);
        if (m_position[s] >= 0)
            m_slotAt[size_t(m_position[s])] = slot;
    }
    m_used = text.size();
    start.push_back(quint32(m_used));
    text.resize(m_used + kPad, ' ');
    m_text = std::move(text);
    m_start = std::move(start);
    m_slots = std::move(kept);
    m_position = std::move(position);
    m_garbage = 0;
}

void LinkSearch::setListOrder(std::span<const qint64> numbers)
{
    setListOrder(numbers.size(), [numbers](size_t i) { return numbers[i]; });
}

void LinkSearch::setListOrder(size_t count, const std::function<qint64(size_t)> &numberAt)
{
    std::fill(m_position.begin(), m_position.end(), -1);
    m_slotAt.clear();
    if (m_slotAt.capacity() < count) {
        m_slotAt = {};
        m_slotAt.reserve(count);
    }
    for (size_t i = 0; i < count; ++i) {
        const quint32 slot = m_slots.slotOf(numberAt(i));
        if (slot == NumberSlots::kNone || m_position[slot] >= 0)
            continue;
        m_position[slot] = qint32(m_slotAt.size());
        m_slotAt.push_back(slot);
    }
    ++m_generation;
}

size_t LinkSearch::memoryBytes() const
{
    return m_text.capacity()
        + (m_start.capacity() + m_position.capacity() + m_slotAt.capacity()) * sizeof(quint32)
        + m_slots.memoryBytes() + m_code.capacity() * sizeof(quint16);
}

// ---- Searching --------------------------------------------------------------------------------

bool LinkSearch::encodeWord(const QString &word, QByteArray *out) const
{
    out->clear();
    const auto append = [out](char c) { out->append(c); };
    const qsizetype n = word.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = word.at(i).unicode();
        if (u < 0x80) {
            out->append(char(u));
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < n && word.at(i + 1).isLowSurrogate()) {
            putCode(QChar::surrogateToUcs4(u, word.at(++i).unicode()), 0, append);
            continue;
        }
        const quint16 code = m_code[u];
        if (code == 0)
            return false; // a character no link ever held
        putCode(u, code, append);
    }
    return true;
}

quint64 LinkSearch::rarity(const ByteFinder &finder) const
{
    // Matches in a few slices spread over the text: enough to tell a rare word from a common
    // one, at about one per cent of a full pass.
    constexpr size_t kSlices = 16, kSlice = 8192, kEnough = 4096;
    const char *base = m_text.data();
    const char *limit = base + m_text.size();
    const size_t step = m_used > kSlices * kSlice ? m_used / kSlices : kSlice;
    quint64 count = 0;
    for (size_t from = 0; from < m_used && count < kEnough; from += step) {
        const char *end = base + qMin(m_used, from + kSlice);
        for (const char *p = base + from; count < kEnough;) {
            const char *s = finder.find(p, end, limit);
            if (!s)
                break;
            ++count;
            p = s + 1;
        }
    }
    return count;
}

bool LinkSearch::holdsAll(quint32 slot, std::span<const ByteFinder *const> finders) const
{
    const char *from = m_text.data() + m_start[slot];
    const char *to = m_text.data() + m_start[slot + 1];
    const char *limit = m_text.data() + m_text.size();
    for (const ByteFinder *f : finders) {
        if (!f->find(from, to, limit))
            return false;
    }
    return true;
}

std::vector<quint32> LinkSearch::scanAll(std::span<const ByteFinder *const> finders) const
{
    // One pass over the text with the first word; the other words are looked for in a link as
    // soon as the first is found there, while its text is still in the cache.
    std::vector<quint32> out;
    const char *base = m_text.data();
    const char *end = base + m_used;
    const char *limit = base + m_text.size();
    const auto slotCount = quint32(m_slots.slotCount());
    const ByteFinder &first = *finders.front();
    const auto others = finders.subspan(1);
    quint32 slot = 0;
    const char *p = base + m_start[0];
    while (const char *s = first.find(p, end, limit)) {
        const auto at = quint32(s - base);
        if (m_start[slot + 1] <= at) {
            // The link holding the match is mostly a few links on: gallop, then halve.
            quint32 low = slot + 1; // m_start[low] <= at
            quint32 step = 1;
            while (low + step < slotCount && m_start[low + step] <= at) {
                low += step;
                step *= 2;
            }
            const quint32 high = qMin(low + step, slotCount); // m_start[high] > at
            slot = quint32(std::upper_bound(m_start.begin() + low + 1, m_start.begin() + high, at)
                           - m_start.begin())
                - 1;
        }
        if (m_slots.live(slot) && holdsAll(slot, others))
            out.push_back(slot);
        p = base + m_start[slot + 1]; // one match is enough for a link
        // Where most links match, the pass jumps from link to link, too far apart for the
        // processor to guess: the text a few links on is asked for early.
        if (slot + 8 < slotCount)
            prefetch(base + m_start[slot + 8]);
    }
    return out;
}

SearchResult LinkSearch::find(QStringView query, const SearchResult *previous) const
{
    return find(SearchText::words(query), previous);
}

SearchResult LinkSearch::find(const QStringList &foldedWords, const SearchResult *previous) const
{
    SearchResult result;
    result.words = foldedWords;
    result.m_generation = m_generation;

    // A word inside another one adds nothing; the rarest word goes first and leaves the fewest
    // links for the others.
    QStringList words;
    for (qsizetype i = 0; i < foldedWords.size(); ++i) {
        const QString &w = foldedWords.at(i);
        bool implied = false;
        for (qsizetype j = 0; j < foldedWords.size() && !implied; ++j) {
            const QString &o = foldedWords.at(j);
            implied = j != i && o.contains(w) && (o.size() > w.size() || j < i);
        }
        if (!implied)
            words.append(w);
    }
    std::vector<ByteFinder> finders;
    std::vector<quint64> rarities;
    for (const QString &w : std::as_const(words)) {
        QByteArray bytes;
        if (!encodeWord(w, &bytes))
            return result;
        finders.emplace_back(bytes, &m_bytes);
    }
    for (const ByteFinder &f : finders)
        rarities.push_back(finders.size() > 1 ? rarity(f) : 0);
    std::vector<size_t> order(finders.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return rarities[a] < rarities[b]; });
    std::vector<const ByteFinder *> ordered;
    for (const size_t i : order)
        ordered.push_back(&finders[i]);

    std::vector<quint32> matched;
    if (previous && previous->m_generation == m_generation
        && SearchText::narrows(foldedWords, previous->words)) {
        matched = previous->m_slots;
        std::erase_if(matched, [&](quint32 s) { return !holdsAll(s, ordered); });
    } else if (!ordered.empty()) {
        matched = scanAll(ordered);
    } else {
        matched.reserve(m_slots.size());
        for (quint32 s = 0; s < m_slots.slotCount(); ++s) {
            if (m_slots.live(s))
                matched.push_back(s);
        }
    }

    // The list's order: positions ascending (a bit per position when there are many), then
    // links without a position by number.
    std::vector<qint32> ranked;
    std::vector<qint64> unranked;
    ranked.reserve(matched.size());
    for (const quint32 s : matched) {
        if (m_position[s] >= 0)
            ranked.push_back(m_position[s]);
        else
            unranked.push_back(m_slots.number(s));
    }
    if (!std::is_sorted(ranked.begin(), ranked.end())) {
        if (ranked.size() * 32 > m_slotAt.size()) {
            std::vector<quint64> bits((m_slotAt.size() + 63) / 64, 0);
            for (const qint32 p : ranked)
                bits[size_t(p) >> 6] |= quint64(1) << (p & 63);
            ranked.clear();
            for (size_t w = 0; w < bits.size(); ++w) {
                for (quint64 b = bits[w]; b; b &= b - 1)
                    ranked.push_back(qint32(w * 64 + size_t(std::countr_zero(b))));
            }
        } else {
            std::sort(ranked.begin(), ranked.end());
        }
    }
    std::sort(unranked.begin(), unranked.end());
    result.numbers.reserve(matched.size());
    result.positions.reserve(matched.size());
    for (const qint32 p : ranked) {
        result.numbers.push_back(m_slots.number(m_slotAt[size_t(p)]));
        result.positions.push_back(p);
    }
    for (const qint64 n : unranked) {
        result.numbers.push_back(n);
        result.positions.push_back(-1);
    }
    result.m_slots = std::move(matched);
    return result;
}
