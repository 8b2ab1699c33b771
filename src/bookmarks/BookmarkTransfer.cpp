#include "BookmarkTransfer.h"

#include "address/AddressSet.h"
#include "bookmarks/BookmarkExport.h"
#include "bookmarks/XbelFile.h"
#include "platform/DataFolder.h"
#include "platform/NoCase.h"
#include "platform/TextFile.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(BookmarkTransfer)
};

bool report(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// Titles as the engine's NOCASE orders them: ASCII letters without case, bytes unsigned, the
// comparison ending at a NUL byte, then the shorter first.
int noCase(QByteArrayView a, QByteArrayView b)
{
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : int(c); };
    const qsizetype n = qMin(a.size(), b.size());
    const auto *x = reinterpret_cast<const unsigned char *>(a.data());
    const auto *y = reinterpret_cast<const unsigned char *>(b.data());
    qsizetype i = 0;
    while (i < n && x[i] != 0 && fold(x[i]) == fold(y[i]))
        ++i;
    if (i < n && fold(x[i]) != fold(y[i]))
        return fold(x[i]) - fold(y[i]);
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The file's links in the writer's order, read in as few walks through the table as a bounded
// buffer allows. Reading each group through the group index would visit the table's pages in
// the order of the links' numbers once per group: a page read each when groups are mixed. A
// walk keeps the links of the next groups in the writer's order until the buffer is full; each
// group is then sorted in memory (sort key, title without ASCII case, number), handed over and
// let go. A group larger than the buffer is read alone.
class ExportRows
{
public:
    explicit ExportRows(qsizetype buffer)
        : m_buffer(buffer)
    {
    }

    // order: the groups in the order the writer asks for them (none: the root's links).
    bool prepare(const QList<GroupRecord> &groups, const std::vector<std::optional<qint64>> &order,
                 QString *error)
    {
        QHash<qint64, qint64> counts;
        if (!LinkStore::linkCounts(counts, error))
            return false;
        QSet<qint64> known;
        for (const GroupRecord &g : groups)
            known.insert(g.nGrp);
        m_slots.resize(order.size());
        for (size_t i = 0; i < order.size(); ++i) {
            if (!order[i]) {
                m_rootSlot = int(i);
                continue;
            }
            if (*order[i] != 0 && !m_slotOf.contains(*order[i])) {
                setSlot(*order[i], int(i));
                m_slots[i].groups.append(*order[i]);
                m_slots[i].count = counts.value(*order[i]);
            }
        }
        if (m_rootSlot >= 0) {
            // Group 0's links and those of numbers without a group row.
            Slot &root = m_slots[size_t(m_rootSlot)];
            for (auto c = counts.cbegin(); c != counts.cend(); ++c) {
                if (c.key() == 0 || !known.contains(c.key())) {
                    setSlot(c.key(), m_rootSlot);
                    root.groups.append(c.key());
                    root.count += c.value();
                }
            }
        }
        qint64 total = 0;
        for (const qint64 c : std::as_const(counts))
            total += c;
        m_dates.reserve(size_t(total));
        return LinkStore::forEachAdded(
                   [&](qint64 n, qint64 added) {
                       m_dates.push_back({n, added});
                   },
                   error)
            && LinkStore::forEachTags(
                   [&](qint64 n, QByteArrayView t) { m_tags.insert(n, t.toByteArray()); }, error);
    }

    // Hands each link of the group (none: the root's) in the list's order. Groups the order did
    // not name are read on their own.
    bool read(std::optional<qint64> nGrp, const BookmarkExport::LinkFn &each,
              const std::function<bool()> &stop, QString *error)
    {
        const int slot = nGrp ? m_slotOf.value(*nGrp, -1) : m_rootSlot;
        if (slot < 0 || (nGrp && *nGrp == 0))
            return readAlone(nGrp, each, error);
        Slot &s = m_slots[size_t(slot)];
        if (!s.loaded && !s.alone && !walk(slot, stop, error))
            return false;
        if (s.alone) // past what a slot holds
            return readAlone(nGrp, each, error);
        std::sort(s.rows.begin(), s.rows.end(), [&s](const Row &a, const Row &b) {
            if (a.sort != b.sort)
                return a.sort < b.sort;
            if (a.prefix != b.prefix && !a.hasNul() && !b.hasNul())
                return a.prefix < b.prefix;
            const int c = noCase(s.title(a), s.title(b));
            return c != 0 ? c < 0 : a.nURL < b.nURL;
        });
        // Once stopped, each passes over what is left.
        for (const Row &r : s.rows) {
            BookmarkExport::Link l {r.nURL, s.url(r), s.title(r), s.memo(r), r.added, {}};
            if (r.hasTags())
                l.tags = QByteArrayView(*m_tags.constFind(r.nURL));
            each(l);
        }
        s.release();
        return true;
    }

private:
    // 48 bytes: the fewer walks, the more links the buffer holds.
    struct Row
    {
        static constexpr quint32 kFlag = 0x80000000u;
        qint64 nURL = 0;
        double sort = 0;
        qint64 added = 0;
        quint64 prefix = 0; // the title's first eight bytes folded
        quint32 at = 0; // address, title and description, one after the other
        quint32 url = 0;
        quint32 nam = 0; // kFlag: the title holds a NUL byte, where NOCASE stops comparing
        quint32 mem = 0; // kFlag: the link has tags
        quint32 title() const { return nam & ~kFlag; }
        quint32 memo() const { return mem & ~kFlag; }
        bool hasNul() const { return nam & kFlag; }
        bool hasTags() const { return mem & kFlag; }
    };
    struct Slot
    {
        QList<qint64> groups;
        qint64 count = 0;
        bool loaded = false;
        bool alone = false; // too large for a slot's offsets: read on its own
        std::vector<Row> rows;
        std::string chars;
        QByteArrayView url(const Row &r) const { return {chars.data() + r.at, r.url}; }
        QByteArrayView title(const Row &r) const
        {
            return {chars.data() + r.at + r.url, r.title()};
        }
        QByteArrayView memo(const Row &r) const
        {
            return {chars.data() + r.at + r.url + r.title(), r.memo()};
        }
        qsizetype bytes() const
        {
            return qsizetype(rows.capacity() * sizeof(Row) + chars.capacity());
        }
        void release()
        {
            loaded = false;
            std::vector<Row>().swap(rows);
            std::string().swap(chars);
        }
    };

    bool readAlone(std::optional<qint64> nGrp, const BookmarkExport::LinkFn &each, QString *error)
    {
        return LinkStore::forEachLinkToExport(
            nGrp,
            [&](const LinkStore::LinkView &v) {
                each({v.nURL, v.sURL, v.sNam, v.sMem, v.added, v.sTags});
            },
            error);
    }

    // One walk through the table keeping the slots from first on, as many as the buffer holds.
    bool walk(int first, const std::function<bool()> &stop, QString *error)
    {
        // The slots the buffer is likely to hold, judged by the bytes per link seen so far.
        const double perLink = m_seenLinks > 0 ? double(m_seenBytes) / double(m_seenLinks)
                                               : double(sizeof(Row) + 160);
        int end = first + 1;
        double expected = double(m_slots[size_t(first)].count) * perLink;
        while (end < int(m_slots.size())
               && expected + double(m_slots[size_t(end)].count) * perLink <= double(m_buffer))
            expected += double(m_slots[size_t(end++)].count) * perLink;
        QList<qint64> groups;
        for (int i = first; i < end; ++i) {
            Slot &s = m_slots[size_t(i)];
            groups.append(s.groups);
            s.loaded = true;
            s.rows.reserve(size_t(s.count));
            s.chars.reserve(size_t(double(s.count) * qMax(0.0, perLink - double(sizeof(Row)))));
        }
        qsizetype held = 0;
        for (int i = first; i < end; ++i)
            held += m_slots[size_t(i)].bytes();
        size_t date = 0; // the walk goes in number order, as the dates do
        qint64 walked = 0;
        bool stopped = false;
        const bool read = LinkStore::forEachLinkOfGroups(
            groups,
            [&](const LinkStore::LinkView &v) {
                if (stopped || (++walked % 4096 == 0 && stop())) {
                    stopped = true;
                    return;
                }
                const int i = slotOf(v.nGrp);
                if (i < first || i >= end)
                    return;
                Slot &s = m_slots[size_t(i)];
                if (s.alone)
                    return;
                const quint64 size = quint64(v.sURL.size() + v.sNam.size() + v.sMem.size());
                if (s.chars.size() + size >= Row::kFlag) {
                    held -= s.bytes();
                    s.release();
                    s.alone = true;
                    return;
                }
                const qsizetype before = s.bytes();
                Row r;
                r.nURL = v.nURL;
                r.sort = v.gSrt;
                r.at = quint32(s.chars.size());
                while (date < m_dates.size() && m_dates[date].first < v.nURL)
                    ++date;
                if (date < m_dates.size() && m_dates[date].first == v.nURL)
                    r.added = m_dates[date].second;
                for (const QByteArrayView t : {v.sURL, v.sNam, v.sMem})
                    s.chars.append(t.data(), size_t(t.size()));
                r.url = quint32(v.sURL.size());
                r.nam = quint32(v.sNam.size()) | (v.sNam.contains('\0') ? Row::kFlag : 0);
                r.mem = quint32(v.sMem.size())
                    | (!m_tags.isEmpty() && m_tags.contains(v.nURL) ? Row::kFlag : 0);
                r.prefix = NoCase::prefixUtf8(v.sNam);
                s.rows.push_back(r);
                held += s.bytes() - before;
                m_seenBytes += qint64(sizeof(Row)) + v.sURL.size() + v.sNam.size() + v.sMem.size();
                ++m_seenLinks;
                // Past the buffer: the last slots wait for the next walk.
                while (held > m_buffer && end - 1 > first) {
                    Slot &last = m_slots[size_t(--end)];
                    held -= last.bytes();
                    last.release();
                }
            },
            error);
        return read && !stopped;
    }

    qsizetype m_buffer;
    std::vector<Slot> m_slots;
    // Group number to slot: a table for the usual small numbers.
    void setSlot(qint64 nGrp, int slot)
    {
        m_slotOf.insert(nGrp, slot);
        if (nGrp >= 0 && nGrp < kTable) {
            if (m_slotTable.size() <= size_t(nGrp))
                m_slotTable.resize(size_t(nGrp) + 1, -1);
            m_slotTable[size_t(nGrp)] = slot;
        }
    }
    int slotOf(qint64 nGrp) const
    {
        if (nGrp >= 0 && nGrp < kTable)
            return size_t(nGrp) < m_slotTable.size() ? m_slotTable[size_t(nGrp)] : -1;
        return m_slotOf.value(nGrp, -1);
    }
    static constexpr qint64 kTable = 1 << 20;
    QHash<qint64, int> m_slotOf;
    std::vector<int> m_slotTable;
    int m_rootSlot = -1;
    std::vector<std::pair<qint64, qint64>> m_dates; // number, date; in number order
    QHash<qint64, QByteArray> m_tags;
    qint64 m_seenBytes = 0, m_seenLinks = 0;
};

} // namespace

QString BookmarkTransfer::failed(const QString &why) const
{
    return Tr::tr("ﾌﾞｯｸﾏｰｸ %1 を取り込めません: %2").arg(m_path, why);
}

bool BookmarkTransfer::read(const QString &path, QString *error)
{
    m_path = path;
    m_plan = {};
    m_joined = 0;
    const BookmarkFile file = XbelFile::read(path);
    if (!file.ok())
        return report(error, failed(file.error));

    // What the collection holds already: its groups, its addresses, its highest number.
    QString why;
    QList<GroupRecord> groups;
    AddressSet known;
    qint64 first = 0;
    const bool readable = LinkStore::forEachGroup(
                              [&](const LinkStore::GroupView &g) {
                                  groups.append({g.nGrp, QString::fromUtf8(g.sGrp), g.gSrt});
                              },
                              &why)
        && LinkStore::forEachAddress([&](qint64, const QString &a) { known.insert(a); }, &why)
        && LinkStore::nextLinkNumber(first, &why);
    if (!readable)
        return report(error, failed(why));
    // The numbers the import would give must not pass the highest one.
    qint64 lastGroup = 0;
    for (const GroupRecord &g : groups)
        lastGroup = qMax(lastGroup, g.nGrp);
    // Compared as room left, so that nothing is added past the highest number.
    if (qint64(file.links.size()) - 1 > kMaxNumber - first
        || qint64(file.folders.size()) > kMaxNumber - lastGroup)
        return report(error, failed(LinkStore::numberLimitText()));
    m_plan = BookmarkImport::plan(
        file, groups, [&](const QString &a) { return known.contains(a); }, first);
    m_joined = file.joinedFolders;
    // A file in which no link could be read is no import: say so as a failure.
    if (m_plan.linksRead == 0 && !hasWork())
        return report(error, question());
    return true;
}

QString BookmarkTransfer::counts() const
{
    QString text
        = Tr::tr("ﾘﾝｸ　%1 件\n新しい分類　%2 件\n重複で省いたﾘﾝｸ　%3 件\n"
                 "読めなかった行　%4 行")
              .arg(QString::number(m_plan.links.size()), QString::number(m_plan.newGroups.size()),
                   QString::number(m_plan.duplicates), QString::number(m_plan.skippedLines));
    if (m_plan.merged > 0)
        text += Tr::tr("\nﾌｧｲﾙ内の同じｱﾄﾞﾚｽをまとめたﾘﾝｸ　%1 件")
                    .arg(QString::number(m_plan.merged));
    if (m_plan.caseTwins > 0)
        text += Tr::tr("\n大文字小文字だけ違う名前でまとめたﾌｫﾙﾀﾞ　%1 件")
                    .arg(QString::number(m_plan.caseTwins));
    if (m_joined > 0)
        text += Tr::tr("\n%1 段より深く、上のﾌｫﾙﾀﾞにまとめたﾌｫﾙﾀﾞ　%2 件")
                    .arg(QString::number(BookmarkFile::kMaxDepth), QString::number(m_joined));
    return text;
}

QString BookmarkTransfer::question() const
{
    if (!hasWork())
        return Tr::tr("ﾌﾞｯｸﾏｰｸ %1 に取り込むﾘﾝｸがありません\n\n%2").arg(m_path, counts());
    return Tr::tr("ﾌﾞｯｸﾏｰｸ %1 を取り込みます\n\n%2\n\n取り込んで良いですか").arg(m_path, counts());
}

BookmarkTransfer::Result BookmarkTransfer::write(const LinkStore::ProgressFn &progress,
                                                 QString *error)
{
    QString why;
    const LinkStore::ImportResult result
        = LinkStore::importLinks(m_plan.newGroups, m_plan.links, progress, &why, m_plan.tags);
    if (result == LinkStore::ImportResult::Failed)
        report(error, failed(why));
    return result;
}

BookmarkTransfer::Format BookmarkTransfer::formatOf(const QString &path)
{
    return path.endsWith(QLatin1String(".xbel"), Qt::CaseInsensitive) ? Format::Xbel
                                                                      : Format::Netscape;
}

QString BookmarkTransfer::chosenFile(const QString &path, Format chosen, Format *format)
{
    if (path.isEmpty())
        return path;
    *format = formatOf(path) == Format::Xbel ? Format::Xbel : chosen;
    if (!QFileInfo(path).suffix().isEmpty() || path.endsWith(u'.'))
        return path;
    return path + (chosen == Format::Xbel ? QStringLiteral(".xbel") : QStringLiteral(".html"));
}

bool BookmarkTransfer::exportStream(const std::function<bool(QByteArrayView)> &sink, int *links,
                                    QString *error, const std::function<bool()> &keepGoing,
                                    Format format, qsizetype buffer)
{
    QList<GroupRecord> groups;
    QString why;
    if (!LinkStore::forEachGroup(
            [&](const LinkStore::GroupView &g) {
                groups.append({g.nGrp, QString::fromUtf8(g.sGrp), g.gSrt});
            },
            &why))
        return report(error, Tr::tr("ﾘﾝｸの読み込みに失敗しました: %1").arg(why));
    // The order in which the writer asks for the groups, from a run over the folders alone.
    std::vector<std::optional<qint64>> order;
    BookmarkExport::write(
        groups,
        [&order](std::optional<qint64> nGrp, const BookmarkExport::LinkFn &) {
            order.push_back(nGrp);
            return true;
        },
        [](QByteArrayView) { return true; }, format);
    ExportRows rows(buffer);
    if (!rows.prepare(groups, order, &why))
        return report(error, Tr::tr("ﾘﾝｸの読み込みに失敗しました: %1").arg(why));
    int count = 0;
    bool stopped = false;
    bool readable = true;
    auto stop = [&] {
        stopped = stopped || (keepGoing && !keepGoing());
        return stopped;
    };
    const bool written = BookmarkExport::write(
        groups,
        [&](std::optional<qint64> nGrp, const BookmarkExport::LinkFn &each) {
            readable = rows.read(
                nGrp,
                [&](const BookmarkExport::Link &l) {
                    if (stopped || (keepGoing && count % 1000 == 999 && stop()))
                        return;
                    ++count;
                    each(l);
                },
                stop, &why);
            return readable && !stopped;
        },
        sink, format);
    if (!readable && !stopped)
        return report(error, Tr::tr("ﾘﾝｸの読み込みに失敗しました: %1").arg(why));
    if (stopped || (keepGoing && !keepGoing())) {
        if (error)
            error->clear();
        return false;
    }
    if (!written) // the sink said why
        return false;
    if (links)
        *links = count;
    return true;
}

bool BookmarkTransfer::exportBytes(QByteArray &out, int *links, QString *error,
                                   const std::function<bool()> &keepGoing, Format format)
{
    QByteArray bytes;
    if (!exportStream(
            [&bytes](QByteArrayView b) {
                bytes.append(b);
                return true;
            },
            links, error, keepGoing, format))
        return false;
    out = std::move(bytes);
    return true;
}

bool BookmarkTransfer::exportTo(const QString &path, int *links, QString *error,
                                const std::function<bool()> &keepGoing,
                                std::optional<Format> format)
{
    if (Store::isOpen() && DataFolder::owns(DataFolder::ofDatabase(Store::path()), path))
        return report(error, TextFile::writeFailedText(path, DataFolder::ownsText()));
    // Rows go to the file as they are read; the old file is replaced only when all is written.
    QString why, readError;
    const bool written = TextFile::writeAtomicStream(
        path,
        [&](const TextFile::WriteFn &write) {
            return exportStream(write, links, &readError, keepGoing,
                                format.value_or(formatOf(path)));
        },
        &why);
    if (written)
        return true;
    if (!why.isEmpty())
        return report(error, TextFile::writeFailedText(path, why));
    if (error)
        *error = readError; // empty when stopped
    return false;
}

QString BookmarkTransfer::exportedText(const QString &path, int links)
{
    return Tr::tr("%n 件のﾘﾝｸを %1 に書き出しました", nullptr, links).arg(path);
}
