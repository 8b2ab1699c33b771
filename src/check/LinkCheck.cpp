#include "LinkCheck.h"

#include "platform/Clock.h"

#include <QHash>
#include <QPointer>
#include <QTimerEvent>

#include <algorithm>

namespace {

bool isCheckable(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == u"http" || scheme == u"https";
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QByteArray headerValue(const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &name)
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

// One "Name: value" line per header. Qt joins repeated Set-Cookie headers with a line feed;
// they become lines of their own again.
QString headersText(const QList<QPair<QByteArray, QByteArray>> &headers)
{
    QStringList lines;
    for (const auto &h : headers) {
        const QString name = QString::fromUtf8(h.first);
        for (const QByteArray &value : h.second.split('\n'))
            lines.append(name + u": " + QString::fromUtf8(value));
    }
    return lines.join(QStringLiteral("\r\n"));
}

LinkResult dead(LinkResult::Reason reason)
{
    LinkResult r;
    r.alive = false;
    r.reason = reason;
    return r;
}

} // namespace

QString LinkResult::mark() const
{
    return alive ? QStringLiteral("◎") : QStringLiteral("×");
}

QString LinkResult::timeText() const
{
    return timeText(elapsedMs);
}

QString LinkResult::timeText(qint64 elapsedMs)
{
    // Hundredths of a second, rounded, so the text needs no floating point: 350 ms -> "3.5".
    const qint64 hundredths = (qMax<qint64>(0, elapsedMs) + 5) / 10;
    return QString::number(hundredths / 10) + u'.' + QString::number(hundredths % 10);
}

LinkCheck::LinkCheck(HttpClient *client, QObject *parent)
    : QObject(parent)
    , m_client(client)
{
    if (!m_client) {
        m_ownClient = std::make_unique<NetworkHttpClient>();
        m_client = m_ownClient.get();
    }
}

LinkCheck::~LinkCheck()
{
    // The replies go before the client that made them.
    clearRun();
    qDeleteAll(findChildren<HttpReply *>(Qt::FindDirectChildrenOnly));
}

void LinkCheck::setMaxInFlight(int n)
{
    m_maxInFlight = qMax(1, n);
}
void LinkCheck::setMaxPerHost(int n)
{
    m_maxPerHost = qMax(1, n);
}
void LinkCheck::setDeadlineMs(int ms)
{
    m_deadlineMs = qMax(1, ms);
}
void LinkCheck::setOrder(Order order)
{
    m_order = order;
}

QUrl LinkCheck::checkableUrl(const QString &address)
{
    const QString text = address.trimmed();
    if (text.isEmpty())
        return {};
    const QUrl url(text, QUrl::TolerantMode);
    return isCheckable(url) ? url : QUrl();
}

QString LinkCheck::hostKey(const QUrl &url)
{
    const int defaultPort = url.scheme().compare(u"https", Qt::CaseInsensitive) == 0 ? 443 : 80;
    return url.host().toLower() + u':' + QString::number(url.port(defaultPort));
}

bool LinkCheck::start(const QList<Row> &rows)
{
    if (m_running)
        return false;
    clearRun();
    m_running = true;
    ++m_run;
    m_runOrder = m_order;
    m_runMaxInFlight = m_maxInFlight;
    m_runMaxPerHost = m_maxPerHost;
    m_runDeadlineMs = m_deadlineMs;

    m_rows = rows;
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [](const Row &a, const Row &b) { return a.row < b.row; });
    m_results.assign(m_rows.size(), std::nullopt);

    QHash<QString, int> hostIds;
    for (int i = 0; i < m_rows.size(); ++i) {
        const QUrl url = checkableUrl(m_rows[i].address);
        if (!url.isValid()) {
            conclude(i, dead(LinkResult::Reason::InvalidAddress));
            continue;
        }
        const QString key = hostKey(url);
        auto it = hostIds.constFind(key);
        if (it == hostIds.constEnd()) {
            it = hostIds.insert(key, int(m_hosts.size()));
            m_hosts.emplace_back();
        }
        m_hosts[*it].waiting.push_back(i);
    }
    for (int h = 0; h < int(m_hosts.size()); ++h)
        offer(h);
    dispatch();
    scheduleDelivery(); // also finishes an empty run
    return true;
}

void LinkCheck::cancel()
{
    if (!m_running)
        return;
    clearRun();
    m_running = false;
    ++m_run;
    Q_EMIT finished(true);
}

void LinkCheck::clearRun()
{
    for (auto &[index, flight] : m_flights) {
        if (flight.reply) {
            flight.reply->abort();
            flight.reply->deleteLater();
        }
        if (flight.timerId)
            killTimer(flight.timerId);
    }
    m_flights.clear();
    m_timers.clear();
    m_rows.clear();
    m_results.clear();
    m_answered.clear();
    m_hosts.clear();
    m_ready.clear();
    m_nextInOrder = 0;
    m_inFlight = 0;
    m_checked = 0;
    m_dead = 0;
}

// A host with room and a waiting address competes with its first waiting index.
void LinkCheck::offer(int host)
{
    const Host &h = m_hosts[host];
    if (!h.waiting.empty() && h.inFlight < m_runMaxPerHost)
        m_ready.insert({h.waiting.front(), host});
}

void LinkCheck::dispatch()
{
    while (m_inFlight < m_runMaxInFlight && !m_ready.empty()) {
        const auto [index, host] = *m_ready.begin();
        m_ready.erase(m_ready.begin());
        Host &h = m_hosts[host];
        h.waiting.pop_front();
        ++h.inFlight;
        ++m_inFlight;
        offer(host);

        Flight &f = m_flights[index];
        f.url = checkableUrl(m_rows[index].address);
        f.method = "HEAD";
        f.host = host;
        f.startMs = Clock::monotonicMs();
        f.timerId = startTimer(m_runDeadlineMs, Qt::PreciseTimer);
        m_timers[f.timerId] = index;
        send(index);
    }
}

void LinkCheck::send(int index)
{
    Flight &f = m_flights.at(index);
    HttpReply *reply = m_client->send(f.method, f.url, this);
    f.reply = reply;
    const quint64 run = m_run;
    connect(reply, &HttpReply::finished, this, [this, index, run, reply](const HttpAnswer &answer) {
        if (run == m_run)
            onAnswer(index, reply, answer);
    });
}

void LinkCheck::onAnswer(int index, HttpReply *reply, const HttpAnswer &answer)
{
    const auto it = m_flights.find(index);
    if (it == m_flights.end() || it->second.reply != reply)
        return;
    Flight &f = it->second;
    reply->deleteLater();
    f.reply = nullptr;

    if (answer.outcome != HttpAnswer::Outcome::Answered) {
        conclude(index,
                 dead(answer.outcome == HttpAnswer::Outcome::Refused
                          ? LinkResult::Reason::Refused
                          : LinkResult::Reason::NoAnswer));
        return;
    }

    LinkResult result;
    result.status = answer.status;
    result.headers = headersText(answer.headers);
    result.reason = LinkResult::Reason::Answered;

    if (isRedirect(answer.status)) {
        const QByteArray location = headerValue(answer.headers, "Location");
        const QUrl target = f.url.resolved(QUrl(QString::fromUtf8(location)));
        // A redirect that cannot be followed is taken as the final answer.
        if (!location.isEmpty() && isCheckable(target)) {
            if (f.redirects >= MaxRedirects) {
                result.alive = false;
                result.reason = LinkResult::Reason::TooManyRedirects;
                conclude(index, result);
                return;
            }
            ++f.redirects;
            f.url = target;
            send(index);
            return;
        }
    }
    if ((answer.status == 405 || answer.status == 501) && f.method == "HEAD") {
        // Servers that refuse HEAD are asked for the headers of a GET.
        f.method = "GET";
        send(index);
        return;
    }
    result.alive = answer.status != 404 && answer.status != 410;
    conclude(index, result);
}

void LinkCheck::timerEvent(QTimerEvent *event)
{
    const auto t = m_timers.find(event->timerId());
    if (t == m_timers.end()) {
        QObject::timerEvent(event);
        return;
    }
    const int index = t->second;
    Flight &f = m_flights.at(index);
    if (f.reply) {
        f.reply->abort();
        f.reply->deleteLater();
        f.reply = nullptr;
    }
    conclude(index, dead(LinkResult::Reason::TimedOut));
}

// The address is done: its slot goes to the next waiting one and its result waits to be emitted.
void LinkCheck::conclude(int index, LinkResult result)
{
    const auto it = m_flights.find(index);
    if (it != m_flights.end()) {
        const Flight &f = it->second;
        result.elapsedMs = qMax<qint64>(0, Clock::monotonicMs() - f.startMs);
        killTimer(f.timerId);
        m_timers.erase(f.timerId);
        Host &h = m_hosts[f.host];
        if (!h.waiting.empty())
            m_ready.erase({h.waiting.front(), f.host});
        --h.inFlight;
        --m_inFlight;
        offer(f.host);
        m_flights.erase(it);
    }
    m_results[index] = std::move(result);
    if (m_runOrder == Order::AsAnswered)
        m_answered.push_back(index);
    dispatch();
    scheduleDelivery();
}

void LinkCheck::scheduleDelivery()
{
    if (m_deliveryQueued)
        return;
    m_deliveryQueued = true;
    QMetaObject::invokeMethod(this, &LinkCheck::deliver, Qt::QueuedConnection);
}

bool LinkCheck::nextReady(int *index)
{
    if (m_runOrder == Order::AsAnswered) {
        if (m_answered.empty())
            return false;
        *index = m_answered.front();
        m_answered.pop_front();
        return true;
    }
    if (m_nextInOrder >= int(m_results.size()) || !m_results[m_nextInOrder])
        return false;
    *index = m_nextInOrder++;
    return true;
}

// Emits what is ready. A handler may run a nested event loop (a modal box): results that
// arrive meanwhile wait for this loop instead of being emitted inside the handler.
void LinkCheck::deliver()
{
    m_deliveryQueued = false;
    if (m_delivering || !m_running)
        return;
    const QPointer<LinkCheck> self(this);
    const quint64 run = m_run;
    m_delivering = true;
    int index = 0;
    while (nextReady(&index)) {
        const LinkResult result = std::move(*m_results[index]);
        m_results[index].reset();
        ++m_checked;
        if (!result.alive)
            ++m_dead;
        Q_EMIT rowChecked(m_rows[index].row, result);
        if (!self)
            return;
        if (m_run != run)
            break;
        Q_EMIT progress(m_checked, int(m_rows.size()), m_dead);
        if (!self)
            return;
        if (m_run != run)
            break;
    }
    m_delivering = false;
    if (m_run != run) {
        // Cancelled inside a handler, perhaps restarted too: the new run's results wait.
        if (m_running)
            scheduleDelivery();
        return;
    }
    if (m_checked == int(m_rows.size()))
        finishRun(false);
}

void LinkCheck::finishRun(bool cancelled)
{
    clearRun();
    m_running = false;
    ++m_run;
    Q_EMIT finished(cancelled);
}
