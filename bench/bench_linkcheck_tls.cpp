// Link check over TLS: 1,000 addresses on 8 hosts (127.0.0.1 ... 127.0.0.8, https, a
// self-signed certificate made for the run) that answer after 200 ms, checked with a new
// connection per request (keep-alive off, as the check was before) and with kept connections.
// Prints each time beside the least the politeness rules allow (4 at once and 50 ms between the
// starts at one host), the ratio of the two throughputs, the least time between two starts at one
// host as the check sent them, and what the servers counted: connections (TLS handshakes),
// requests, the most in flight at one host, the least time between two arrivals at one host
// (which the scheduling of both processes blurs). The servers run in a process of their own
// (--serve), so their handshakes are not counted as the checker's work. Flags (before the
// benchmark's own): --addresses=N --hosts=N (at most 250) --delay-ms=N.

#include "check/LinkCheck.h"
#include "platform/HttpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QPointer>
#include <QProcess>
#include <QSocketNotifier>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

struct Config
{
    int addresses = 1000;
    int hosts = 8;
    int delayMs = 200;
};
Config g_config;

QString hostAddress(int i)
{
    return QStringLiteral("127.0.0.%1").arg(1 + i);
}

// ---- The server process ----

// One host: HTTP/1.1 over TLS, every answer after the delay, the connection kept unless the
// request says "close".
class TlsHost : public QObject
{
public:
    TlsHost(const QSslConfiguration &tls, int delayMs)
        : m_delayMs(delayMs)
    {
        m_clock.start();
        m_server.setSslConfiguration(tls);
        connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (auto *socket = static_cast<QSslSocket *>(m_server.nextPendingConnection())) {
                ++connections;
                connect(socket, &QIODevice::readyRead, this, [this, socket] { read(socket); });
                connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
                read(socket);
            }
        });
    }
    bool listen(const QHostAddress &address) { return m_server.listen(address, 0); }
    quint16 port() const { return m_server.serverPort(); }
    void reset()
    {
        connections = requests = mostInFlight = 0;
        leastSpacingMs = -1;
        m_lastMs = -1;
    }

    int connections = 0;
    int requests = 0;
    int mostInFlight = 0;
    qint64 leastSpacingMs = -1; // between two requests' arrivals
private:
    void read(QSslSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        int end = 0;
        while ((end = int(buffer.indexOf("\r\n\r\n"))) >= 0) {
            const QByteArray head = buffer.left(end).toLower();
            buffer.remove(0, end + 4);
            ++requests;
            const qint64 now = m_clock.elapsed();
            if (m_lastMs >= 0)
                leastSpacingMs
                    = leastSpacingMs < 0 ? now - m_lastMs : qMin(leastSpacingMs, now - m_lastMs);
            m_lastMs = now;
            mostInFlight = qMax(mostInFlight, ++m_inFlight);
            const bool close = head.contains("\r\nconnection: close");
            const bool get = head.startsWith("get ");
            QPointer<QSslSocket> guard(socket);
            QTimer::singleShot(m_delayMs, Qt::PreciseTimer, this, [this, guard, close, get] {
                --m_inFlight;
                if (!guard)
                    return;
                const QByteArray body = "<html><body>ok</body></html>";
                guard->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                             + QByteArray::number(body.size()) + "\r\nConnection: "
                             + (close ? "close" : "keep-alive") + "\r\n\r\n" + (get ? body : ""));
                if (close)
                    guard->disconnectFromHost();
            });
        }
    }

    QSslServer m_server;
    int m_delayMs;
    QElapsedTimer m_clock;
    qint64 m_lastMs = -1;
    int m_inFlight = 0;
    QHash<QSslSocket *, QByteArray> m_buffers;
};

int serve(int hosts, int delayMs, const QString &certPath, const QString &keyPath)
{
    QFile keyFile(keyPath);
    if (!keyFile.open(QIODevice::ReadOnly))
        return 1;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(QSslCertificate::fromPath(certPath));
    tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    std::vector<std::unique_ptr<TlsHost>> servers;
    QByteArray ready = "ready";
    for (int i = 0; i < hosts; ++i) {
        servers.push_back(std::make_unique<TlsHost>(tls, delayMs));
        if (!servers.back()->listen(QHostAddress(hostAddress(i))))
            return 1;
        ready += ' ' + QByteArray::number(servers.back()->port());
    }
    std::printf("%s\n", ready.constData());
    std::fflush(stdout);

    // Commands on standard input, one a line: "stats" and "reset"; the end of input ends it.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, n);
        int end = 0;
        while ((end = int(pending.indexOf('\n'))) >= 0) {
            const QByteArray command = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            int connections = 0, requests = 0, most = 0;
            qint64 least = -1;
            for (const auto &s : servers) {
                if (command == "reset")
                    s->reset();
                connections += s->connections;
                requests += s->requests;
                most = qMax(most, s->mostInFlight);
                if (s->leastSpacingMs >= 0)
                    least = least < 0 ? s->leastSpacingMs : qMin(least, s->leastSpacingMs);
            }
            std::printf("%d %d %d %lld\n", connections, requests, most, qlonglong(least));
            std::fflush(stdout);
        }
    });
    return QCoreApplication::exec();
}

// ---- The checking side ----

QTemporaryDir *g_dir = nullptr;
QProcess *g_servers = nullptr;
QList<quint16> g_ports;

QByteArray readLine(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!g_servers->canReadLine() && clock.elapsed() < timeoutMs)
        g_servers->waitForReadyRead(100);
    return g_servers->readLine().trimmed();
}

// A certificate for the hosts' addresses, made for this run only.
bool makeCertificate()
{
    QStringList names;
    for (int i = 0; i < g_config.hosts; ++i)
        names << QStringLiteral("IP:") + hostAddress(i);
    QProcess openssl;
    openssl.setWorkingDirectory(g_dir->path());
    openssl.setStandardErrorFile(QProcess::nullDevice()); // its progress dots
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                   "/CN=linkwell-bench", "-addext", "subjectAltName=" + names.join(u','), "-keyout",
                   "key.pem", "-out", "cert.pem"});
    return openssl.waitForFinished(60000) && openssl.exitCode() == 0;
}

bool startServers()
{
    if (g_servers)
        return !g_ports.isEmpty();
    g_dir = new QTemporaryDir;
    g_servers = new QProcess;
    if (!g_dir->isValid() || !makeCertificate())
        return false;
    g_servers->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    g_servers->start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--serve"), QString::number(g_config.hosts),
                      QString::number(g_config.delayMs), g_dir->filePath("cert.pem"),
                      g_dir->filePath("key.pem")});
    if (!g_servers->waitForStarted(10000))
        return false;
    const QList<QByteArray> words = readLine(30000).split(' ');
    if (words.value(0) != "ready" || words.size() != 1 + g_config.hosts)
        return false;
    for (int i = 1; i < words.size(); ++i)
        g_ports.append(quint16(words[i].toUInt()));
    return true;
}

void stopServers()
{
    if (g_servers) {
        g_servers->closeWriteChannel();
        if (!g_servers->waitForFinished(5000))
            g_servers->kill();
    }
    delete g_servers;
    delete g_dir;
}

// connections, requests, most in flight at a host, least spacing at a host
QList<qint64> askServers(const QByteArray &command)
{
    g_servers->write(command + '\n');
    g_servers->waitForBytesWritten(5000);
    QList<qint64> out;
    for (const QByteArray &w : readLine(10000).split(' '))
        out.append(w.toLongLong());
    return out;
}

// The check's own starts, as the politeness rule counts them: the least time between two
// requests sent to one host.
class StartsClient : public HttpClient
{
public:
    explicit StartsClient(HttpClient *client)
        : m_client(client)
    {
        m_clock.start();
    }
    HttpReply *send(const HttpRequest &request, QObject *parent) override
    {
        const double now = double(m_clock.nsecsElapsed()) / 1e6;
        const auto last = m_last.constFind(LinkCheck::hostKey(request.url));
        if (last != m_last.constEnd())
            leastSpacingMs = leastSpacingMs < 0 ? now - *last : qMin(leastSpacingMs, now - *last);
        m_last.insert(LinkCheck::hostKey(request.url), now);
        return m_client->send(request, parent);
    }

    double leastSpacingMs = -1;

private:
    HttpClient *m_client;
    QElapsedTimer m_clock;
    QHash<QString, double> m_last;
};

struct Figures
{
    double seconds = 0;
    int alive = 0;
    double leastStartSpacingMs = -1;
    QList<qint64> servers;
};
std::optional<Figures> g_before, g_after;

void checkOnce(benchmark::State &state, bool keepAlive, std::optional<Figures> *figures)
{
    if (!startServers()) {
        state.SkipWithError("TLS loopback servers did not start (is openssl installed?)");
        return;
    }
    QList<LinkCheck::Row> rows;
    for (int i = 0; i < g_config.addresses; ++i) {
        const int host = i % g_config.hosts;
        rows.append({i + 1,
                     QStringLiteral("https://%1:%2/page%3")
                         .arg(hostAddress(host))
                         .arg(g_ports[host])
                         .arg(i)});
    }
    NetworkHttpClient::Options options;
    options.keepAlive = keepAlive;
    options.extraCaCertificates = QSslCertificate::fromPath(g_dir->filePath("cert.pem"));
    for (auto _ : state) {
        askServers("reset");
        Figures f;
        NetworkHttpClient client(options);
        StartsClient starts(&client);
        LinkCheck check(&starts);
        QEventLoop loop;
        QObject::connect(&check, &LinkCheck::rowChecked, &loop, [&f](int, const LinkResult &r) {
            f.alive += r.verdict == LinkResult::Verdict::Alive;
        });
        QObject::connect(&check, &LinkCheck::finished, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        check.start(rows);
        loop.exec();
        f.seconds = double(clock.nsecsElapsed()) / 1e9;
        f.servers = askServers("stats");
        f.leastStartSpacingMs = starts.leastSpacingMs;
        *figures = f;
        state.counters["seconds"] = f.seconds;
        state.counters["alive"] = f.alive;
        state.counters["connections"] = double(f.servers.value(0));
        state.counters["max_per_host"] = double(f.servers.value(2));
        state.counters["min_start_spacing_ms"] = f.leastStartSpacingMs;
    }
}

void BM_NewConnectionEach(benchmark::State &state)
{
    checkOnce(state, false, &g_before);
}
void BM_KeptConnections(benchmark::State &state)
{
    checkOnce(state, true, &g_after);
}
BENCHMARK(BM_NewConnectionEach)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_KeptConnections)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// The least time the politeness rules allow: the busiest host's addresses, at most
// DefaultMaxPerHost at once, their starts DefaultMinSpacingMs apart, each answered after the delay.
double leastSeconds()
{
    const int perHost = (g_config.addresses + g_config.hosts - 1) / g_config.hosts;
    const int waves = (perHost + LinkCheck::DefaultMaxPerHost - 1) / LinkCheck::DefaultMaxPerHost;
    const double byLimit = double(waves) * g_config.delayMs;
    const double bySpacing
        = double(perHost - 1) * LinkCheck::DefaultMinSpacingMs + g_config.delayMs;
    return qMax(byLimit, bySpacing) / 1000.0;
}

void takeFlags(int *argc, char **argv)
{
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        const QByteArray arg = argv[i];
        const auto value = [&arg](const char *name) -> std::optional<int> {
            const QByteArray prefix = QByteArray("--") + name + '=';
            if (!arg.startsWith(prefix))
                return std::nullopt;
            return arg.mid(prefix.size()).toInt();
        };
        if (auto v = value("addresses"))
            g_config.addresses = qMax(1, *v);
        else if (auto v = value("hosts"))
            g_config.hosts = qBound(1, *v, 250);
        else if (auto v = value("delay-ms"))
            g_config.delayMs = qMax(0, *v);
        else
            argv[kept++] = argv[i];
    }
    *argc = kept;
}

void print(const char *name, const Figures &f)
{
    std::printf("%s: %.2f s, %.1f addresses/s, %.2fx the least (%d of %d alive), starts at one "
                "host at least %.1f ms apart; at the servers %lld connections for %lld requests, "
                "at most %lld at once per host, arrivals at one host at least %lld ms apart\n",
                name, f.seconds, g_config.addresses / f.seconds, f.seconds / leastSeconds(),
                f.alive, g_config.addresses, f.leastStartSpacingMs, f.servers.value(0),
                f.servers.value(1), f.servers.value(2), f.servers.value(3));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 6 && std::strcmp(argv[1], "--serve") == 0)
        return serve(std::atoi(argv[2]), std::atoi(argv[3]), QString::fromLocal8Bit(argv[4]),
                     QString::fromLocal8Bit(argv[5]));

    takeFlags(&argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stopServers();

    std::printf("%d addresses over %d TLS hosts answering after %d ms; the least the politeness "
                "rules allow (%d at once, %d ms apart per host): %.2f s\n",
                g_config.addresses, g_config.hosts, g_config.delayMs, LinkCheck::DefaultMaxPerHost,
                LinkCheck::DefaultMinSpacingMs, leastSeconds());
    if (g_before)
        print("a connection per request", *g_before);
    if (g_after)
        print("kept connections", *g_after);
    if (g_before && g_after)
        std::printf("throughput ratio kept / per request: %.2fx\n",
                    g_before->seconds / g_after->seconds);
    return 0;
}
