#include "Commands.h"

#include "app/Usr.h"
#include "bookmarks/BookmarkTransfer.h"
#include "check/CheckRun.h"
#include "cli/StopSignals.h"
#include "collection/AddLink.h"
#include "collection/GroupFolders.h"
#include "collection/LinkList.h"
#include "pages/TextBackfill.h"
#include "platform/DataFolder.h"
#include "search/SearchText.h"
#include "search/SearchedTags.h"
#include "search/TextIndex.h"
#include "store/GroupList.h"
#include "store/LinkStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSet>

#include <algorithm>

#include <cstdio>
#include <unistd.h>

namespace Cli {

namespace {

struct Tr
{
    Q_DECLARE_TR_FUNCTIONS(Cli)
};

Status importFile(const Invocation &in)
{
    BookmarkTransfer transfer;
    QString error;
    if (!transfer.read(in.args.first(), &error)
        || transfer.write({}, &error) != LinkStore::ImportResult::Written) {
        in.err(error);
        return BadInput;
    }
    in.out(QByteArray(transfer.counts().toUtf8() + '\n'));
    return Success;
}

Status exportFile(const Invocation &in)
{
    const QString path = in.args.first();
    QString error;
    // XBEL when asked for, else as the file's name asks.
    const bool xbel = in.options.contains(QStringLiteral("xbel"));
    const BookmarkTransfer::Format format
        = xbel ? BookmarkTransfer::Format::Xbel : BookmarkTransfer::formatOf(path);
    if (path == u"-") {
        const auto out = [&in](QByteArrayView bytes) {
            in.out(bytes);
            return true;
        };
        if (!BookmarkTransfer::exportStream(out, nullptr, &error, {}, format)) {
            in.err(error);
            return BadInput;
        }
        return Success;
    }
    if (!BookmarkTransfer::exportTo(path, nullptr, &error, {}, format)) {
        in.err(error);
        return BadInput;
    }
    return Success;
}

// The links of the groups in set, by number, for keep.
bool keepGroups(const QSet<qint64> &set, std::function<bool(qint64)> &keep, QString *error)
{
    auto numbers = std::make_shared<QSet<qint64>>();
    if (!LinkStore::forEachLink(
            0,
            [&](const LinkStore::LinkView &v) {
                if (set.contains(v.nGrp))
                    numbers->insert(v.nURL);
            },
            error))
        return false;
    keep = [numbers](qint64 nURL) { return numbers->contains(nURL); };
    return true;
}

// The group a name chooses as the window's selector chooses it; group 0 by its own name.
// With below, a folder's whole subtree (nGrp 0 and keep). Returns false when no group has
// that name.
bool groupNamed(const QString &name, qint64 &nGrp, std::function<bool(qint64)> &keep,
                QString *error, bool below = false)
{
    if (below) {
        GroupTree tree;
        if (!GroupFolders::load(tree, error))
            return false;
        const int node = tree.indexOf(name);
        if (node >= 0) {
            const QList<qint64> within = tree.groupsWithin(node);
            nGrp = 0;
            return keepGroups(QSet<qint64>(within.cbegin(), within.cend()), keep, error);
        }
    }
    GroupList groups;
    if (!GroupList::load(groups, error))
        return false;
    const std::optional<qint64> found = groups.find(name);
    if (!found) {
        if (error)
            *error = Tr::tr("分類 %1 がありません").arg(name);
        return false;
    }
    nGrp = *found;
    return nGrp != 0 || keepGroups({0}, keep, error);
}

// A value on one line of its own field: TABs, line breaks and every other control character
// (C0, DEL, C1 in UTF-8) become spaces, so nothing reaches the terminal as a command.
void appendField(QByteArray &line, QByteArrayView value)
{
    const qsizetype start = line.size();
    line.append(value);
    for (char *c = line.data() + start, *end = line.data() + line.size(); c != end; ++c) {
        const auto u = static_cast<unsigned char>(*c);
        if (u < 0x20 || u == 0x7F) {
            *c = ' ';
        } else if (u == 0xC2 && c + 1 != end && static_cast<unsigned char>(c[1]) >= 0x80
                   && static_cast<unsigned char>(c[1]) <= 0x9F) {
            *c = ' ';
            *++c = ' ';
        }
    }
}

// The rows, one line each: number, address, group name, title.
void printRows(const Invocation &in, const std::vector<PackedRow> &rows)
{
    QByteArray text;
    text.reserve(1 << 20);
    for (const PackedRow &r : rows) {
        for (const auto col : {LinkList::Number, LinkList::Address, LinkList::GroupName}) {
            appendField(text, LinkList::cell(r, col));
            text.append('\t');
        }
        appendField(text, LinkList::cell(r, LinkList::Title));
        text.append('\n');
        if (text.size() >= (1 << 20) - 4096) {
            in.out(text);
            text.clear();
        }
    }
    in.out(text);
}

// The links whose fields or page text hold every word, best first: number, address, group,
// title and the text around the first hit on one line.
Status findText(const Invocation &in, qint64 nGrp, const std::function<bool(qint64)> &keep)
{
    int limit = 0;
    if (in.options.contains(QStringLiteral("limit"))) {
        bool ok = false;
        limit = in.options.value(QStringLiteral("limit")).toInt(&ok);
        if (!ok || limit <= 0) {
            in.err(Tr::tr("件数 %1 は正の整数ではありません")
                       .arg(in.options.value(QStringLiteral("limit"))));
            return UsageError;
        }
    }
    QString error;
    TextIndex index(Usr::sDataPh);
    if (!index.isOpen()) {
        in.err(Tr::tr("本文を検索できません: %1").arg(index.error()));
        return BadInput;
    }
    // One pass over the links gives both what their fields hold and the rows to print.
    struct Row
    {
        qint64 nURL = 0, nGrp = 0;
        qsizetype address = 0, title = 0, end = 0; // in `texts`
    };
    std::vector<Row> rows;
    QByteArray texts;
    TextIndex::Fields fields;
    const QString query = in.args.join(u' ');
    if (!TextIndex::fieldsOf(query, fields, &error, nGrp, [&](const LinkStore::LinkView &v) {
            if (keep && !keep(v.nURL))
                return;
            const qsizetype at = texts.size();
            texts += v.sURL;
            texts += v.sNam;
            rows.push_back({v.nURL, v.nGrp, at, at + v.sURL.size(), texts.size()});
        })) {
        in.err(Tr::tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
        return BadInput;
    }
    QHash<qint64, QByteArray> groups;
    std::vector<TextIndex::Found> found;
    if (!LinkStore::forEachGroup(
            [&](const LinkStore::GroupView &g) { groups.insert(g.nGrp, g.sGrp.toByteArray()); },
            &error)) {
        in.err(Tr::tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
        return BadInput;
    }
    if (!index.find(query, 0, 0, found, &error, &fields)) {
        in.err(Tr::tr("本文を検索できません: %1").arg(error));
        return BadInput;
    }
    QByteArray text;
    int printed = 0;
    for (const TextIndex::Found &f : found) {
        const auto row = std::lower_bound(rows.cbegin(), rows.cend(), f.nURL,
                                          [](const Row &r, qint64 n) { return r.nURL < n; });
        if (row == rows.cend() || row->nURL != f.nURL)
            continue;
        if (limit > 0 && printed == limit)
            break;
        ++printed;
        QString snippet = f.rank != 0 ? index.snippet(query, f.nURL) : QString();
        snippet.remove(QChar(TextStore::kMarkOpen));
        snippet.remove(QChar(TextStore::kMarkClose));
        appendField(text, QByteArray::number(f.nURL));
        text.append('\t');
        appendField(text, QByteArrayView(texts).sliced(row->address, row->title - row->address));
        text.append('\t');
        appendField(text, groups.value(row->nGrp));
        text.append('\t');
        appendField(text, QByteArrayView(texts).sliced(row->title, row->end - row->title));
        text.append('\t');
        appendField(text, snippet.simplified().toUtf8());
        text.append('\n');
    }
    in.out(text);
    in.err(Tr::tr("%n 件見つかりました", nullptr, printed));
    return Success;
}

// The links holding every word, as the window's search box finds them: one pass over the
// rows, no index. The count goes to standard error, so the lines stay the list's.
Status findWords(const Invocation &in)
{
    qint64 nGrp = 0;
    std::function<bool(qint64)> keep;
    QString error;
    const QString group = in.options.value(QStringLiteral("group"));
    const bool below = in.options.contains(QStringLiteral("below"));
    if (below && group.isEmpty()) {
        in.err(Tr::tr("--below は --group と共に指定してください"));
        return UsageError;
    }
    if (!group.isEmpty() && group != u"*" && !groupNamed(group, nGrp, keep, &error, below)) {
        in.err(error);
        return BadInput;
    }
    if (in.options.contains(QStringLiteral("text")))
        return findText(in, nGrp, keep);
    const SearchText::Matcher matcher(in.args.join(u' '));
    SearchedTags tags;
    if (!tags.load(&error)) {
        in.err(Tr::tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
        return BadInput;
    }
    std::vector<PackedRow> rows;
    if (!LinkList::loadChosen(
            nGrp,
            [&](const LinkStore::LinkView &v) {
                if (keep && !keep(v.nURL))
                    return false;
                return matcher.matches(v.sURL, v.sNam, tags.described(v.nURL, v.sMem));
            },
            rows, &error)) {
        in.err(Tr::tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
        return BadInput;
    }
    printRows(in, rows);
    in.err(Tr::tr("%n 件見つかりました", nullptr, int(rows.size())));
    return Success;
}

// Every link (or one group's) checked as the maintenance window checks them, recorded in the
// history; one line per link in number order. SIGINT and SIGTERM stop it as the window's 中止
// does: what was checked is printed and recorded. Progress on standard error when it is a
// terminal.
Status checkLinks(const Invocation &in)
{
    CheckRun run;
    StopSignals stop([&run](int) { run.stop(); });
    QList<CheckRun::Link> links;
    QString error;
    bool read = false;
    if (in.options.contains(QStringLiteral("group"))) {
        qint64 nGrp = 0;
        std::function<bool(qint64)> inGroupZero;
        if (!groupNamed(in.options.value(QStringLiteral("group")), nGrp, inGroupZero, &error)) {
            in.err(error);
            return BadInput;
        }
        read = CheckRun::linksOfGroup(nGrp, links, &error);
    } else {
        read = CheckRun::allLinks(links, &error);
    }
    if (!read) {
        in.err(error);
        return BadInput;
    }
    const bool tty = ::isatty(2);
    if (tty) {
        QObject::connect(&run, &CheckRun::progress, [](int checked, int total, int dead) {
            std::fprintf(stderr, "\r%d / %d  dead %d", checked, total, dead);
            std::fflush(stderr);
        });
    }
    const bool recorded = run.run(links, &error);
    if (tty && !links.isEmpty())
        std::fputc('\n', stderr);
    QList<CheckRun::Checked> rows = run.results();
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto &a, const auto &b) { return a.nURL < b.nURL; });
    QByteArray text;
    for (const CheckRun::Checked &r : rows)
        text += r.line().toUtf8() + '\n';
    in.out(text);
    if (!recorded) {
        in.err(error);
        return BadInput;
    }
    if (run.stopped()) {
        in.err(Tr::tr("ﾁｪｯｸを中止しました (%1 / %2 件)")
                   .arg(QString::number(rows.size()), QString::number(links.size())));
        return Status(Stopped + stop.received());
    }
    return run.deadCount() > 0 ? DeadLinks : Success;
}

// The full-text index made anew from the saved copies.
Status reindex(const Invocation &in)
{
    if (!TextIndex::removeFile(Usr::sDataPh)) {
        in.err(Tr::tr("検索用の索引を削除できません: %1").arg(DataFolder::textIndex(Usr::sDataPh)));
        return BadInput;
    }
    const TextBackfill::Result r = TextBackfill::run(Usr::sDataPh);
    for (const QString &file : r.unreadable)
        in.err(Tr::tr("読めない保存ﾍﾟｰｼﾞ: %1").arg(file));
    if (!r.error.isEmpty()) {
        in.err(r.error);
        return BadInput;
    }
    in.err(Tr::tr("%1 件の保存ﾍﾟｰｼﾞを索引に入れました").arg(r.indexed));
    return Success;
}

Status list(const Invocation &in)
{
    const bool recent = in.options.contains(QStringLiteral("recent"));
    const bool byGroup = in.options.contains(QStringLiteral("group"));
    const bool below = in.options.contains(QStringLiteral("below"));
    qint64 nGrp = 0;
    std::function<bool(qint64)> keep;
    QString error;
    if (below && !byGroup) {
        in.err(Tr::tr("--below は --group と共に指定してください"));
        return UsageError;
    }
    std::vector<PackedRow> rows;
    if (byGroup) {
        // A folder of the tree: its subtree, or a folder that only the paths below it name.
        GroupTree tree;
        if (!GroupFolders::load(tree, &error)) {
            in.err(Tr::tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
            return BadInput;
        }
        const int node = tree.indexOf(in.options.value(QStringLiteral("group")));
        if (node >= 0 && (below || tree.nodes()[size_t(node)].groups.isEmpty())) {
            if (!GroupFolders::loadFolder(tree, node, below, rows, &error)) {
                in.err(Tr::tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
                return BadInput;
            }
            printRows(in, rows);
            return Success;
        }
    }
    if (byGroup && !groupNamed(in.options.value(QStringLiteral("group")), nGrp, keep, &error)) {
        in.err(error);
        return BadInput;
    }
    if (!LinkList::load(recent, nGrp, rows, &error, keep)) {
        in.err(Tr::tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
        return BadInput;
    }
    printRows(in, rows);
    return Success;
}

// The folder tree: path, links in it, links in the folders below it, TAB-separated.
Status groups(const Invocation &in)
{
    GroupTree tree;
    std::vector<GroupFolders::Count> counts;
    QString error;
    if (!GroupFolders::load(tree, &error) || !GroupFolders::count(tree, counts, &error)) {
        in.err(Tr::tr("ﾘｽﾄの読み込みに失敗しました: %1").arg(error));
        return BadInput;
    }
    QByteArray text;
    for (size_t i = 0; i < counts.size(); ++i) {
        appendField(text, tree.nodes()[i].path.toUtf8());
        text += '\t' + QByteArray::number(counts[i].links) + '\t'
            + QByteArray::number(counts[i].below) + '\n';
    }
    in.out(text);
    return Success;
}

// One link registered or corrected, as the browser's button does: number and new/corrected.
Status addLink(const Invocation &in)
{
    AddLink::Request r;
    r.url = in.args.first();
    r.group = in.options.value(QStringLiteral("group"));
    r.title = in.options.value(QStringLiteral("title"));
    r.description = in.options.value(QStringLiteral("description"));
    r.addTwin = in.options.contains(QStringLiteral("twin"));
    const AddLink::Outcome out
        = AddLink(Usr::sDataPh, nullptr).run(r, QDateTime::currentSecsSinceEpoch());
    switch (out.status) {
    case AddLink::Status::New:
    case AddLink::Status::Corrected:
        in.out(QByteArray(QByteArray::number(out.link.nURL)
                          + (out.status == AddLink::Status::New ? "\tnew\n" : "\tcorrected\n")));
        return Success;
    case AddLink::Status::Twin:
        in.err(Tr::tr("「%1」(%2) と同じﾍﾟｰｼﾞのようです")
                   .arg(out.twin.title, QString::number(out.twin.nURL)));
        return BadInput;
    case AddLink::Status::Skipped:
    case AddLink::Status::BadInput:
    case AddLink::Status::Failed: break;
    }
    in.err(out.error);
    return BadInput;
}

} // namespace

const QList<Command> &commands()
{
    static const QList<Command> all = {
        {.name = QStringLiteral("import"),
         .synopsis = QStringLiteral("import FILE"),
         .description = QStringLiteral("Add the links of a browser's bookmark file; its folders "
                                       "become groups, addresses held already are left out."),
         .changes = true,
         .minArgs = 1,
         .maxArgs = 1,
         .run = importFile},
        {.name = QStringLiteral("export"),
         .synopsis = QStringLiteral("export [--xbel] FILE"),
         .description = QStringLiteral("Write the whole collection as a bookmark file for "
                                       "browsers (\"-\": standard output); XBEL for a name "
                                       "ending in .xbel."),
         .minArgs = 1,
         .maxArgs = 1,
         .options = {{QStringLiteral("xbel"), QString(), QStringLiteral("Write XBEL.")}},
         .run = exportFile},
        {.name = QStringLiteral("list"),
         .synopsis = QStringLiteral("list [--group PATH [--below] | --recent]"),
         .description = QStringLiteral("Print the links in the list's order, one a line: number, "
                                       "address, group, title, TAB-separated."),
         .options = {{QStringLiteral("group"), QStringLiteral("NAME"),
                      QStringLiteral("Only the links of this group or folder.")},
                     {QStringLiteral("below"), QString(),
                      QStringLiteral("With --group: also the links of every folder below it, "
                                     "folder by folder.")},
                     {QStringLiteral("recent"), QString(), QStringLiteral("The 50 newest links.")}},
         .exclusive = {QStringLiteral("recent"), QStringLiteral("group")},
         .run = list},
        {.name = QStringLiteral("find"),
         .synopsis = QStringLiteral("find [--group NAME [--below]] [--text [--limit N]] WORDS..."),
         .description = QStringLiteral("Print the links whose title, description or address hold "
                                       "every word (letter case, width and hiragana/katakana "
                                       "ignored), as list does; the count on standard error."),
         .minArgs = 1,
         .maxArgs = -1,
         .options = {{QStringLiteral("group"), QStringLiteral("NAME"),
                      QStringLiteral("Only the links of this group (\"*\": all groups).")},
                     {QStringLiteral("below"), QString(),
                      QStringLiteral("With --group: also the links of every folder below it.")},
                     {QStringLiteral("text"), QString(),
                      QStringLiteral("Search the saved pages' text too; best first, with the "
                                     "text around the first hit as a fifth field.")},
                     {QStringLiteral("limit"), QStringLiteral("N"),
                      QStringLiteral("With --text: at most N links.")}},
         .run = findWords},
        {.name = QStringLiteral("reindex"),
         .synopsis = QStringLiteral("reindex"),
         .description = QStringLiteral("Make the search index of the saved pages' text anew "
                                       "from the copies."),
         .changes = true,
         .run = reindex},
        {.name = QStringLiteral("check"),
         .synopsis = QStringLiteral("check [--group NAME]"),
         .description = QStringLiteral("Check every link (or one group's) for dead links and "
                                       "record the results; print number, verdict (alive, dead, "
                                       "uncertain), final status, final address and seconds, "
                                       "TAB-separated, in number order. Exits with 4 when it "
                                       "found dead links, 0 when all are alive or uncertain; "
                                       "Ctrl+C stops it, keeping what was checked."),
         .changes = true,
         .options = {{QStringLiteral("group"), QStringLiteral("NAME"),
                      QStringLiteral("Only the links of this group.")}},
         .run = checkLinks},
        {.name = QStringLiteral("groups"),
         .synopsis = QStringLiteral("groups"),
         .description = QStringLiteral("Print the groups as a folder tree, one folder a line in "
                                       "tree order: path, its links, the links of the folders "
                                       "below it, TAB-separated."),
         .run = groups},
        {.name = QStringLiteral("add"),
         .synopsis
         = QStringLiteral("add [--group PATH] [--title T] [--description D] [--twin] URL"),
         .description = QStringLiteral("Register a link, or correct the registered one of that "
                                       "address (what is not given stays); print its number and "
                                       "\"new\" or \"corrected\", TAB-separated. A group path "
                                       "that does not exist is made."),
         .changes = true,
         .minArgs = 1,
         .maxArgs = 1,
         .options = {{QStringLiteral("group"), QStringLiteral("PATH"),
                      QStringLiteral("The group, a path as groups prints it.")},
                     {QStringLiteral("title"), QStringLiteral("T"), QStringLiteral("The title.")},
                     {QStringLiteral("description"), QStringLiteral("D"),
                      QStringLiteral("The description.")},
                     {QStringLiteral("twin"), QString(),
                      QStringLiteral("Register it even when the same page is registered under "
                                     "another address.")}},
         .run = addLink},
    };
    return all;
}

const Command *find(const QString &name)
{
    for (const Command &c : commands()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

} // namespace Cli
