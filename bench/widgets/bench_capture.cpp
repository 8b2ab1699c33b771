#include "../BenchSupport.h"
#include "app/CaptureApi.h"
#include "collection/CollectionIndex.h"
#include "platform/LocalServer.h"
#include "platform/widgets/OffscreenPicturer.h"
#include "search/TextPieces.h"
#include "store/LinkStore.h"
#include "store/Store.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>

// Pages and look-ups from another browser over real HTTP on loopback, through the receiver to the
// collection's handler: a 10 MB page registered with its copy, text and picture (target: 3 s), and
// the "already registered?" look-up at 100,000 links (target: 5 ms).
namespace {

CollectionIndex *g_index = nullptr;
OffscreenPicturer *g_picturer = nullptr;

CaptureApi::Hooks hooks()
{
    CaptureApi::Hooks h;
    h.dataPh = g_dir->path() + u'/';
    h.twins = [](const QString &url) {
        std::vector<AddLink::Twin> out;
        for (const CollectionIndex::Twin &t : g_index->twinsOf(url))
            out.push_back({t.nURL, QString(), t.title});
        return out;
    };
    h.picturer = g_picturer;
    h.pictureSize = [] { return 50; };
    return h;
}

QNetworkAccessManager *g_net = nullptr;
quint16 g_port = 0;

// The status of one request to the receiver.
int ask(const QByteArray &method, const QByteArray &target, const QByteArray &body = {},
        const QByteArray &type = {})
{
    QNetworkRequest r(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(g_port) + target));
    r.setRawHeader("Authorization", "Bearer bench-token");
    if (!type.isEmpty())
        r.setHeader(QNetworkRequest::ContentTypeHeader, type);
    QNetworkReply *reply = g_net->sendCustomRequest(r, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->deleteLater();
    return status;
}

void makeData()
{
    const QString data = g_dir->path() + u'/';
    QDir().mkpath(data + QStringLiteral("Arc"));
    QDir().mkpath(data + QStringLiteral("Pic"));
    Store::OpenDb(data + QStringLiteral("dbLink.mdb"));
    QList<GroupRecord> groups;
    for (int g = 1; g <= 200; ++g)
        groups.append({g, QStringLiteral("技術/Group %1").arg(g), double(g)});
    QList<DatedLink> links;
    for (int i = 0; i < 100000; ++i)
        links.append(
            {{100 + i, QStringLiteral("https://site%1.example.org/p%2").arg(i % 977).arg(i),
              1 + i % 200, QStringLiteral("Title of page %1").arg(i), QString(), 100},
             1});
    LinkStore::importLinks(groups, links);
}

} // namespace

static void BM_GetLink(benchmark::State &state)
{
    // A registered address, then one that is not (its twins looked up).
    const QByteArray target = state.range(0)
        ? "/api/links?url=https%3A%2F%2Fsite5.example.org%2Fp50005"
        : "/api/links?url=https%3A%2F%2Fwww.site5.example.org%2Fnew";
    for (auto _ : state) {
        if (ask("GET", target) != 200)
            state.SkipWithError("no 200");
    }
}
BENCHMARK(BM_GetLink)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

static void BM_PostPage10MB(benchmark::State &state)
{
    QByteArray page = "<html><head><title>Big</title></head><body>";
    for (int i = 0; page.size() < 10 << 20; ++i)
        page += "<p>Paragraph " + QByteArray::number(i)
            + " of a long page: 東京の天気 weather report and more words to index.</p>\n";
    page += "</body></html>";
    int n = 0;
    for (auto _ : state) {
        const QByteArray body = "--B\r\nContent-Disposition: form-data; name=\"url\"\r\n\r\n"
                                "https://big.example/"
            + QByteArray::number(++n)
            + "\r\n--B\r\nContent-Disposition: form-data; name=\"file\"; "
              "filename=\"p.html\"\r\n\r\n"
            + page + "\r\n--B--\r\n";
        if (ask("POST", "/api/pages", body, "multipart/form-data; boundary=B") != 201)
            state.SkipWithError("no 201");
    }
    state.counters["picture"]
        = QFile::exists(g_dir->path() + QStringLiteral("/Pic/%1.jpg").arg(100099 + n));
}
BENCHMARK(BM_PostPage10MB)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TextPieces::useEverywhere();
    QTemporaryDir dir;
    g_dir = &dir;
    makeData();
    CollectionIndex index;
    index.build();
    g_index = &index;
    OffscreenPicturer picturer;
    g_picturer = &picturer;
    CaptureApi api(hooks());
    LocalServer server(api);
    {
        QTcpServer free;
        free.listen(QHostAddress::LocalHost);
        g_port = free.serverPort();
    }
    server.setRoutes({{"/api/pages", {"POST"}}, {"/api/links", {"GET", "POST"}}});
    server.start(g_port, "bench-token");
    QNetworkAccessManager net;
    g_net = &net;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Store::CloseDb();
    return 0;
}
