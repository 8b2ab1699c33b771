// The search at the size a large collection reaches: 100,000 links with Japanese and English
// titles, descriptions (four lines of page text) and addresses as the browser reports them.
#include "address/UrlKey.h"
#include "platform/NoCase.h"
#include "platform/PackedRow.h"
#include "search/LinkSearch.h"
#include "search/SearchText.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QUrl>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>

namespace {

constexpr int kLinks = 100000;

const char16_t *const kJapanese[] = {u"技術",
                                     u"ブログ",
                                     u"入門",
                                     u"ガイド",
                                     u"方法",
                                     u"解説",
                                     u"設定",
                                     u"開発",
                                     u"環境",
                                     u"構築",
                                     u"まとめ",
                                     u"ニュース",
                                     u"記事",
                                     u"比較",
                                     u"使い方",
                                     u"初心者",
                                     u"プログラミング",
                                     u"データ",
                                     u"分析",
                                     u"機械学習",
                                     u"人工知能",
                                     u"セキュリティ",
                                     u"サーバー",
                                     u"クラウド",
                                     u"ネットワーク",
                                     u"デザイン",
                                     u"料理",
                                     u"レシピ",
                                     u"旅行",
                                     u"観光",
                                     u"ホテル",
                                     u"予約",
                                     u"天気",
                                     u"地図",
                                     u"東京",
                                     u"大阪",
                                     u"京都",
                                     u"北海道",
                                     u"沖縄",
                                     u"株式会社",
                                     u"公式",
                                     u"サイト",
                                     u"ホーム",
                                     u"ページ",
                                     u"ログイン",
                                     u"会員",
                                     u"登録",
                                     u"無料",
                                     u"最新",
                                     u"情報",
                                     u"速報",
                                     u"経済",
                                     u"政治",
                                     u"社会",
                                     u"国際",
                                     u"スポーツ",
                                     u"野球",
                                     u"サッカー",
                                     u"映画",
                                     u"音楽",
                                     u"アニメ",
                                     u"漫画",
                                     u"ゲーム",
                                     u"書籍",
                                     u"図書館",
                                     u"大学",
                                     u"研究",
                                     u"論文",
                                     u"教育",
                                     u"学校",
                                     u"試験",
                                     u"資格",
                                     u"転職",
                                     u"求人",
                                     u"仕事",
                                     u"健康",
                                     u"病院",
                                     u"医療",
                                     u"保険",
                                     u"銀行",
                                     u"投資",
                                     u"株価",
                                     u"為替",
                                     u"不動産",
                                     u"住宅",
                                     u"家電",
                                     u"通販",
                                     u"価格",
                                     u"レビュー",
                                     u"評判",
                                     u"口コミ",
                                     u"ランキング",
                                     u"おすすめ",
                                     u"写真",
                                     u"動画",
                                     u"配信",
                                     u"問題",
                                     u"解決",
                                     u"エラー",
                                     u"対処法",
                                     u"手順",
                                     u"説明書",
                                     u"仕様",
                                     u"バージョン",
                                     u"更新",
                                     u"履歴",
                                     u"一覧",
                                     u"検索",
                                     u"結果",
                                     u"について",
                                     u"とは",
                                     u"の",
                                     u"は",
                                     u"が",
                                     u"を",
                                     u"に",
                                     u"で",
                                     u"と",
                                     u"から",
                                     u"まで",
                                     u"する",
                                     u"した",
                                     u"できる",
                                     u"ための",
                                     u"よくある質問",
                                     u"お問い合わせ",
                                     u"利用規約",
                                     u"個人情報",
                                     u"メニュー",
                                     u"コンテンツ",
                                     u"スキップ",
                                     u"移動",
                                     u"年",
                                     u"月",
                                     u"日",
                                     u"版",
                                     u"ﾃｽﾄ",
                                     u"ｶﾞｲﾄﾞ",
                                     u"ﾒﾆｭｰ",
                                     u"ＱＴ",
                                     u"２０２４",
                                     u"【速報】",
                                     u"「",
                                     u"」",
                                     u"、",
                                     u"。",
                                     u"・",
                                     u"（",
                                     u"）"};
const char *const kEnglish[]
    = {"Qt",          "Python",   "JavaScript",    "TypeScript", "React",     "Linux",    "Docker",
       "Kubernetes",  "GitHub",   "API",           "SQL",        "SQLite",    "C++",      "Rust",
       "Go",          "AWS",      "Azure",         "Google",     "Apple",     "iPhone",   "Android",
       "Windows",     "macOS",    "Ubuntu",        "Debian",     "Wiki",      "Blog",     "News",
       "Tutorial",    "Guide",    "Documentation", "Reference",  "Release",   "Notes",    "How",
       "to",          "the",      "and",           "for",        "with",      "in",       "of",
       "a",           "Home",     "Login",         "Search",     "Menu",      "Skip",     "content",
       "Overview",    "Getting",  "Started",       "Install",    "Update",    "Error",    "Fix",
       "Performance", "Security", "Design",        "Data",       "Machine",   "Learning", "Open",
       "Source",      "Free",     "Best",          "Review",     "2023",      "2024",     "v6.4",
       "Vol.3",       "PDF",      "FAQ",           "Support",    "Community", "Forum",    "Issue",
       "Pull",        "Request",  "Stack",         "Overflow",   "-",         "|",        ":"};
const char *const kSites[] = {"qiita.com",         "zenn.dev",
                              "note.com",          "ja.wikipedia.org",
                              "github.com",        "www.nikkei.com",
                              "news.yahoo.co.jp",  "www.asahi.com",
                              "www3.nhk.or.jp",    "doc.qt.io",
                              "docs.python.org",   "developer.mozilla.org",
                              "stackoverflow.com", "ja.stackoverflow.com",
                              "www.amazon.co.jp",  "item.rakuten.co.jp",
                              "tabelog.com",       "cookpad.com",
                              "www.jalan.net",     "www.youtube.com",
                              "twitter.com",       "www.itmedia.co.jp",
                              "gihyo.jp",          "dev.classmethod.jp",
                              "b.hatena.ne.jp",    "learn.microsoft.com",
                              "www.apple.com",     "www.google.com"};

struct Data
{
    std::vector<PackedRow> rows; // number, address, group, title, description; in list order
    std::vector<LinkSearch::Fields> fields;
    std::vector<qint64> numbers;
    std::vector<QString> addresses;
    size_t utf8Bytes = 0;
};

// Skewed towards the front of a list, as word use is.
int pick(QRandomGenerator &rng, int n)
{
    return qMin(n - 1, int(std::pow(rng.generateDouble(), 2.2) * n));
}

QString words(QRandomGenerator &rng, int count, bool japanese)
{
    QString s;
    for (int i = 0; i < count; ++i) {
        if (japanese && rng.bounded(10) < 8) {
            s += QString::fromUtf16(kJapanese[pick(rng, int(std::size(kJapanese)))]);
        } else {
            if (!s.isEmpty())
                s += u' ';
            s += QString::fromUtf8(kEnglish[pick(rng, int(std::size(kEnglish)))]);
            if (japanese)
                s += u' ';
        }
        // Names and rarer words: kanji from anywhere in the block.
        if (rng.bounded(40) == 0) {
            s += QChar(char16_t(0x4E00 + rng.bounded(0x5000)));
            s += QChar(char16_t(0x4E00 + rng.bounded(0x5000)));
        }
    }
    return s;
}

QString address(QRandomGenerator &rng, int i)
{
    const int site = rng.bounded(3) == 0 ? -1 : pick(rng, int(std::size(kSites)));
    QString a = QStringLiteral("https://")
        + (site < 0 ? QStringLiteral("www.site%1.example.jp").arg(rng.bounded(3000))
                    : QString::fromUtf8(kSites[site]));
    if (site >= 0 && QByteArrayView(kSites[site]) == "ja.wikipedia.org") {
        a += u"/wiki/" + QString::fromUtf8(QUrl::toPercentEncoding(words(rng, 2, true)));
    } else {
        for (int k = int(rng.bounded(1, 4)); k > 0; --k)
            a += u'/' + QString::fromUtf8(kEnglish[pick(rng, int(std::size(kEnglish)))]).toLower();
        a += QStringLiteral("/%1").arg(100000 + i * 7);
    }
    const int q = int(rng.bounded(10));
    if (q == 0)
        a += u"?utm_source=twitter&utm_medium=social";
    else if (q < 3)
        a += QStringLiteral("?id=%1&page=%2").arg(rng.bounded(1000000)).arg(rng.bounded(20));
    return a;
}

const Data &data()
{
    static Data d = [] {
        Data out;
        QRandomGenerator rng(2024);
        struct Link
        {
            int number, group;
            double sort;
            QString address, title, description;
        };
        std::vector<Link> links;
        links.reserve(kLinks);
        for (int i = 0; i < kLinks; ++i) {
            const bool japanese = rng.bounded(10) < 7;
            QString title = words(rng, int(rng.bounded(2, 9)), japanese);
            title += QStringLiteral(" - ")
                + QString::fromUtf8(kSites[pick(rng, int(std::size(kSites)))]);
            // Four lines of page text; LINKWELL_BENCH_LONG_TEXT makes them a paragraph each.
            static const int longer = qEnvironmentVariableIsSet("LINKWELL_BENCH_LONG_TEXT") ? 3 : 1;
            QStringList lines;
            for (int l = 0; l < 4; ++l)
                lines << words(rng, int(rng.bounded(0, 1 + (l == 3 ? 14 : 5) * longer)), japanese);
            links.push_back({100 + i, 1 + pick(rng, 200),
                             rng.bounded(10) ? 100.0 : rng.bounded(200) * 1.0, address(rng, i),
                             title, lines.join(u' ').trimmed()});
        }
        // The list's order: groups by number here (their sort keys), links by sort key, title.
        std::stable_sort(links.begin(), links.end(), [](const Link &a, const Link &b) {
            if (a.group != b.group)
                return a.group < b.group;
            if (a.sort != b.sort)
                return a.sort < b.sort;
            return NoCase::compareUtf8(a.title.toUtf8(), b.title.toUtf8()) < 0;
        });
        for (const Link &l : links) {
            const QByteArray n = QByteArray::number(l.number), a = l.address.toUtf8(),
                             g = QStringLiteral("分類%1").arg(l.group).toUtf8(),
                             t = l.title.toUtf8(), m = l.description.toUtf8();
            out.rows.push_back(PackedRow {n, a, g, t, m});
            out.utf8Bytes += size_t(a.size() + t.size() + m.size());
            out.numbers.push_back(l.number);
            out.addresses.push_back(l.address);
        }
        for (size_t i = 0; i < out.rows.size(); ++i) {
            const PackedRow &r = out.rows[i];
            out.fields.push_back({out.numbers[i], r.cell(1), r.cell(3), r.cell(4)});
        }
        return out;
    }();
    return d;
}

size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

LinkSearch &index()
{
    static LinkSearch *s = [] {
        auto *i = new LinkSearch;
        i->rebuild(data().fields);
        return i;
    }();
    return *s;
}

// What the list shows: the rows of the result, in order. A grid that shows some of the rows it
// holds takes them by reference; one that is filled anew (fillRows today) takes copies.
std::vector<const PackedRow *> rowsOf(const SearchResult &r)
{
    std::vector<const PackedRow *> out;
    out.reserve(r.positions.size());
    for (const qint64 p : r.positions)
        out.push_back(&data().rows[size_t(p)]);
    return out;
}

std::vector<PackedRow> rowCopiesOf(const SearchResult &r)
{
    std::vector<PackedRow> out;
    out.reserve(r.positions.size());
    for (const qint64 p : r.positions)
        out.push_back(data().rows[size_t(p)]);
    return out;
}

void BM_Data(benchmark::State &state)
{
    const Data &d = data();
    double title = 0, description = 0, addr = 0;
    for (const LinkSearch::Fields &f : d.fields) {
        title += QString::fromUtf8(f.title).size();
        description += QString::fromUtf8(f.description).size();
        addr += f.address.size();
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(d.rows.size());
    state.counters["links"] = double(d.rows.size());
    state.counters["title_chars"] = title / double(d.fields.size());
    state.counters["description_chars"] = description / double(d.fields.size());
    state.counters["address_chars"] = addr / double(d.fields.size());
    state.counters["utf8_MB"] = double(d.utf8Bytes) / 1e6;
}
BENCHMARK(BM_Data)->Iterations(1);

void BM_Rebuild(benchmark::State &state)
{
    const Data &d = data();
    size_t added = 0, held = 0, text = 0;
    int shortCodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = heapInUse();
        state.ResumeTiming();
        LinkSearch s;
        s.rebuild(d.fields);
        state.PauseTiming();
        added = heapInUse() - before;
        held = s.memoryBytes();
        text = s.textBytes();
        shortCodes = s.shortCodes();
        state.ResumeTiming();
    }
    state.counters["heap_added_MB"] = double(added) / 1e6;
    state.counters["held_MB"] = double(held) / 1e6;
    state.counters["text_MB"] = double(text) / 1e6;
    state.counters["short_codes"] = shortCodes;
}
BENCHMARK(BM_Rebuild)->Unit(benchmark::kMillisecond)->Iterations(5);

enum class Rows { None, Shown, Copied };

void search(benchmark::State &state, QString query, Rows rows)
{
    const LinkSearch &s = index();
    size_t found = 0;
    for (auto _ : state) {
        const SearchResult r = s.find(query);
        found = r.numbers.size();
        if (rows == Rows::Shown)
            benchmark::DoNotOptimize(rowsOf(r));
        else if (rows == Rows::Copied)
            benchmark::DoNotOptimize(rowCopiesOf(r));
        else
            benchmark::DoNotOptimize(r);
    }
    state.counters["found"] = double(found);
}

// Typing a query key by key, each search narrowed by the one before, as the driver runs them.
void BM_TypingKeyByKey(benchmark::State &state)
{
    const LinkSearch &s = index();
    const QStringList keys {u"p"_qs,     u"py"_qs,     u"pyt"_qs,       u"pyth"_qs,
                            u"pytho"_qs, u"python"_qs, u"python 入"_qs, u"python 入門"_qs};
    for (auto _ : state) {
        SearchResult last;
        for (const QString &k : keys) {
            last = s.find(k, &last);
            benchmark::DoNotOptimize(rowsOf(last));
        }
    }
    state.counters["keys"] = double(keys.size());
}
BENCHMARK(BM_TypingKeyByKey)->Unit(benchmark::kMillisecond);

void BM_Upsert(benchmark::State &state)
{
    LinkSearch s;
    s.rebuild(data().fields);
    size_t i = 0;
    for (auto _ : state) {
        s.upsert(data().fields[i]); // a correction: the link's texts again
        i = (i + 7919) % data().fields.size();
    }
    state.counters["held_MB_after"] = double(s.memoryBytes()) / 1e6;
}
BENCHMARK(BM_Upsert)->Unit(benchmark::kMicrosecond);

void BM_RemoveAndInsert(benchmark::State &state)
{
    LinkSearch s;
    s.rebuild(data().fields);
    size_t i = 0;
    for (auto _ : state) {
        s.remove(data().fields[i].number);
        s.upsert(data().fields[i]);
        i = (i + 7919) % data().fields.size();
    }
}
BENCHMARK(BM_RemoveAndInsert)->Unit(benchmark::kMicrosecond);

void BM_SetListOrder(benchmark::State &state)
{
    LinkSearch &s = index();
    for (auto _ : state)
        s.setListOrder(data().numbers);
}
BENCHMARK(BM_SetListOrder)->Unit(benchmark::kMillisecond);

std::vector<UrlKey::Numbered> numberedAddresses()
{
    std::vector<UrlKey::Numbered> out;
    for (size_t i = 0; i < data().numbers.size(); ++i)
        out.push_back({data().numbers[i], data().addresses[i]});
    return out;
}

void BM_TwinsRebuild(benchmark::State &state)
{
    const std::vector<UrlKey::Numbered> links = numberedAddresses();
    size_t held = 0, added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const size_t before = heapInUse();
        state.ResumeTiming();
        UrlTwins t;
        t.rebuild(links);
        state.PauseTiming();
        added = heapInUse() - before;
        held = t.memoryBytes();
        state.ResumeTiming();
    }
    state.counters["heap_added_MB"] = double(added) / 1e6;
    state.counters["held_MB"] = double(held) / 1e6;
}
BENCHMARK(BM_TwinsRebuild)->Unit(benchmark::kMillisecond)->Iterations(3);

// The check when a page completes: its address against every registered one.
void BM_TwinLookupAtPageCompletion(benchmark::State &state)
{
    UrlTwins t;
    t.rebuild(numberedAddresses());
    size_t i = 0, hits = 0;
    for (auto _ : state) {
        // The browser's form of a registered page, and a page not registered.
        const QString page = i % 2
            ? QString(data().addresses[i]).replace(0, 8, u"http://"_qs) + u"#top"
            : QStringLiteral("https://new.example.jp/page/%1").arg(i);
        hits += t.sharing(page).size();
        i = (i + 7919) % data().addresses.size();
    }
    state.counters["hits"] = double(hits);
}
BENCHMARK(BM_TwinLookupAtPageCompletion)->Unit(benchmark::kMicrosecond);

void BM_LaterTwins(benchmark::State &state)
{
    const std::vector<UrlKey::Numbered> links = numberedAddresses();
    size_t n = 0;
    for (auto _ : state)
        n = UrlKey::laterTwins(links).size();
    state.counters["later_twins"] = double(n);
}
BENCHMARK(BM_LaterTwins)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const char *queries[][2] = {
        {"1 word, Japanese, common", "技術"},
        {"1 word, Japanese, rare", "図書館 "},
        {"1 kanji", "技"},
        {"1 kanji, rare", "鬱"},
        {"1 word, half-width query", "ｶﾞｲﾄﾞ"},
        {"1 word, ASCII, common", "python"},
        {"1 word, ASCII, rare", "kubernetes"},
        {"1 letter", "e"},
        {"1 word, in no link", "zzqx"},
        {"2 words, Japanese", "東京 ホテル"},
        {"2 words, mixed", "python 入門"},
        {"2 words, ASCII", "github error"},
        {"3 words, Japanese", "東京 ホテル 予約"},
        {"3 words, mixed", "qiita 技術 エラー"},
        {"3 words, ASCII", "linux docker install"},
    };
    for (const auto &q : queries) {
        const QString query = QString::fromUtf8(q[1]);
        benchmark::RegisterBenchmark((std::string("BM_Find/") + q[0]).c_str(),
                                     [query](benchmark::State &s) { search(s, query, Rows::None); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(
            (std::string("BM_FindWithRows/") + q[0]).c_str(),
            [query](benchmark::State &s) { search(s, query, Rows::Shown); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(
            (std::string("BM_FindWithRowCopies/") + q[0]).c_str(),
            [query](benchmark::State &s) { search(s, query, Rows::Copied); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
