#include "LinkCheck.h"

#include "address/Address.h"
#include "platform/Clock.h"

#include <QLocale>
#include <QPointer>
#include <QTimeZone>
#include <QTimerEvent>

#include <algorithm>
#include <limits>

namespace {

using Verdict = LinkResult::Verdict;
using Reason = LinkResult::Reason;

// Cookies kept per address along its redirects; enough for any log-in dance, bounded for a
// server that sets a new one at every step.
constexpr int MaxCookies = 50;

bool isCheckable(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    return Address::isWeb(QString(url.scheme() + u':'));
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QByteArray headerValue(const HttpHeaders &headers, const QByteArray &name)
{
    for (const auto &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

// One "Name: value" line per header, joined by CR LF.
QString headersText(const HttpHeaders &headers)
{
    QStringList lines;
    lines.reserve(headers.size());
    for (const auto &h : headers)
        lines.append(QString::fromUtf8(h.first) + u": " + QString::fromUtf8(h.second));
    return lines.join(QStringLiteral("\r\n"));
}

LinkResult verdict(Verdict v, Reason reason)
{
    LinkResult r;
    r.verdict = v;
    r.reason = reason;
    return r;
}

} // namespace

LinkCheck::LinkCheck(HttpClient *client, QObject *parent)
    : QObject(parent)
    , m_client(client)
{
    if (!m_client) {
        m_ownClient = std::make_unique<NetworkHttpClient>();
        m_client = m_ownClient.get();
    }
    m_tick.setSingleShot(true);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &LinkCheck::onTick);
}

LinkCheck::~LinkCheck()
{
    // The replies go before the client that made them.
    clearRun();
    qDeleteAll(findChildren<HttpReply *>(Qt::FindDirectChildrenOnly));
}

void LinkCheck::setMaxInFlight(int n)
{
    m_settings.maxInFlight = qMax(1, n);
}
void LinkCheck::setMaxPerHost(int n)
{
    m_settings.maxPerHost = qMax(1, n);
}
void LinkCheck::setMinSpacingMs(int ms)
{
    m_settings.minSpacingMs = qMax(0, ms);
}
void LinkCheck::setDeadlineMs(int ms)
{
    m_settings.deadlineMs = qMax(1, ms);
}
void LinkCheck::setMaxRetries(int n)
{
    m_settings.maxRetries = qMax(0, n);
}
void LinkCheck::setBackoffBaseMs(int ms)
{
    m_settings.backoffBaseMs = qMax(0, ms);
}
void LinkCheck::setMaxRetryAfterMs(int ms)
{
    m_settings.maxRetryAfterMs = qMax(0, ms);
}
void LinkCheck::setOrder(Order order)
{
    m_settings.order = order;
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

std::optional<qint64> LinkCheck::retryAfterMs(const QByteArray &value, const QDateTime &nowUtc)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        bool ok = false;
        const qint64 seconds = text.toLongLong(&ok);
        // More digits than a number holds: longer than anyone waits.
        if (!ok || seconds > std::numeric_limits<qint64>::max() / 2000)
            return std::numeric_limits<qint64>::max() / 2;
        return seconds * 1000;
    }
    // An HTTP date: the preferred form, then the two obsolete ones. The day of the week goes
    // first: Qt refuses a date whose weekday it disagrees with, as it does for "Sunday, 06-Nov-94"
    // read in the 1900s.
    const QString date = QString::fromLatin1(text).simplified();
    const QString afterComma = date.section(u',', 1).trimmed();
    const QString afterDay = date.section(u' ', 1);
    const QLocale c = QLocale::c();
    QDateTime when = QDateTime::fromString(date, Qt::RFC2822Date); // numeric zones
    const std::pair<QString, QString> forms[] {
        {afterComma, QStringLiteral("dd MMM yyyy hh:mm:ss 'GMT'")},
        {afterComma, QStringLiteral("dd-MMM-yy hh:mm:ss 'GMT'")},
        {afterDay, QStringLiteral("MMM d hh:mm:ss yyyy")}};
    for (const auto &[part, format] : forms) {
        if (when.isValid())
            break;
        when = c.toDateTime(part, format);
        if (!when.isValid())
            continue;
        when.setTimeZone(QTimeZone::utc());
        if (when.date().year() < 1970) // a two-digit year is of this century
            when = when.addYears(100);
    }
    if (!when.isValid())
        return std::nullopt;
    return qMax<qint64>(0, nowUtc.msecsTo(when));
}

bool LinkCheck::start(const QList<Row> &rows)
{
    if (m_running)
        return false;
    clearRun();
    m_running = true;
    ++m_runId;
    m_run = m_settings;
    m_clock.start();

    m_rows = rows;
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [](const Row &a, const Row &b) { return a.row < b.row; });
    m_items.assign(m_rows.size(), Item());
    m_results.assign(m_rows.size(), std::nullopt);
    for (int i = 0; i < m_rows.size(); ++i) {
        const QUrl url = checkableUrl(m_rows[i].address);
        if (!url.isValid()) {
            conclude(i, verdict(Verdict::Dead, Reason::InvalidAddress));
            continue;
        }
        m_items[i].url = url;
        enqueue(i);
    }
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
    ++m_runId;
    Q_EMIT finished(true);
}

void LinkCheck::clearRun()
{
    for (Item &it : m_items) {
        if (it.reply) {
            it.reply->abort();
            it.reply->deleteLater();
        }
        if (it.timerId)
            killTimer(it.timerId);
    }
    m_tick.stop();
    m_tickAt = -1;
    m_timers.clear();
    m_rows.clear();
    m_items.clear();
    m_results.clear();
    m_answered.clear();
    m_hostIds.clear();
    m_hosts.clear();
    m_ready.clear();
    m_timed.clear();
    m_sleeping.clear();
    m_nextInOrder = 0;
    m_inFlight = 0;
    m_checked = 0;
    m_dead = 0;
}

int LinkCheck::hostFor(const QUrl &url)
{
    const QString key = hostKey(url);
    auto it = m_hostIds.constFind(key);
    if (it == m_hostIds.constEnd()) {
        it = m_hostIds.insert(key, int(m_hosts.size()));
        m_hosts.emplace_back();
    }
    return *it;
}

// The address waits for a slot at the host of its next request.
void LinkCheck::enqueue(int index)
{
    Item &it = m_items[index];
    it.host = hostFor(it.url);
    m_hosts[it.host].waiting.insert(index);
    refresh(it.host);
}

// Files the host under "may start now" (competing with its first waiting row), "may start at
// that time", or nowhere (nothing waiting, or no room).
void LinkCheck::refresh(int h)
{
    Host &host = m_hosts[h];
    if (host.readyIndex >= 0) {
        m_ready.erase({host.readyIndex, h});
        host.readyIndex = -1;
    }
    if (host.timedAt >= 0) {
        m_timed.erase({host.timedAt, h});
        host.timedAt = -1;
    }
    if (host.waiting.empty() || host.inFlight >= m_run.maxPerHost)
        return;
    qint64 at = host.notBeforeMs;
    if (host.lastStartMs >= 0)
        at = qMax(at, host.lastStartMs + m_run.minSpacingMs);
    if (at <= now()) {
        host.readyIndex = *host.waiting.begin();
        m_ready.insert({host.readyIndex, h});
    } else {
        host.timedAt = at;
        m_timed.insert({at, h});
        armTick();
    }
}

void LinkCheck::dispatch()
{
    while (m_inFlight < m_run.maxInFlight && !m_ready.empty()) {
        const auto [index, h] = *m_ready.begin();
        m_ready.erase(m_ready.begin());
        Host &host = m_hosts[h];
        host.readyIndex = -1;
        host.waiting.erase(index);
        ++host.inFlight;
        ++m_inFlight;
        host.lastStartMs = now();
        refresh(h);
        send(index);
    }
}

void LinkCheck::send(int index)
{
    Item &it = m_items[index];
    ++it.requests;
    if (it.firstMs < 0)
        it.firstMs = Clock::monotonicMs();

    HttpRequest request;
    request.method = it.method;
    request.url = it.url;
    const QString host = it.url.host().toLower();
    QByteArray cookies;
    for (const Cookie &c : std::as_const(it.cookies)) {
        if (c.host == host)
            cookies += (cookies.isEmpty() ? "" : "; ") + c.name + '=' + c.value;
    }
    if (!cookies.isEmpty())
        request.headers.append({"Cookie", cookies});

    HttpReply *reply = m_client->send(request, this);
    it.reply = reply;
    it.timerId = startTimer(m_run.deadlineMs, Qt::PreciseTimer);
    m_timers[it.timerId] = index;
    const quint64 run = m_runId;
    connect(reply, &HttpReply::finished, this, [this, index, run, reply](const HttpAnswer &answer) {
        if (run == m_runId)
            onAnswer(index, reply, answer);
    });
}

// The request is over: its slot goes to the next one waiting.
void LinkCheck::release(int index)
{
    Item &it = m_items[index];
    if (it.timerId) {
        killTimer(it.timerId);
        m_timers.erase(it.timerId);
        it.timerId = 0;
    }
    if (it.reply) {
        it.reply->deleteLater();
        it.reply = nullptr;
    }
    --m_hosts[it.host].inFlight;
    --m_inFlight;
    refresh(it.host);
}

void LinkCheck::onAnswer(int index, HttpReply *reply, const HttpAnswer &answer)
{
    if (m_items[index].reply != reply)
        return;
    release(index);
    handle(index, answer);
    dispatch();
}

void LinkCheck::timerEvent(QTimerEvent *event)
{
    const auto t = m_timers.find(event->timerId());
    if (t == m_timers.end()) {
        QObject::timerEvent(event);
        return;
    }
    const int index = t->second;
    if (HttpReply *reply = m_items[index].reply)
        reply->abort();
    release(index);
    HttpAnswer timedOut;
    timedOut.outcome = HttpAnswer::Outcome::Reset;
    timedOut.error = QStringLiteral("No answer within %1 ms").arg(m_run.deadlineMs);
    handle(index, timedOut, true);
    dispatch();
}

// Decides what an answer (or failure) means: the verdict, the next step of a redirect, the GET
// after a HEAD, or another try later.
void LinkCheck::handle(int index, const HttpAnswer &answer, bool timedOut)
{
    Item &it = m_items[index];
    const bool head = it.method == "HEAD";
    LinkResult r;
    r.status = answer.status;
    r.headers = headersText(answer.headers);
    r.error = answer.error;

    // Tries again with GET after the backoff (or the server's Retry-After), or gives r.
    const auto retryOr = [&](Verdict give, std::optional<qint64> retryAfter) {
        const bool tooLong = retryAfter && *retryAfter > m_run.maxRetryAfterMs;
        if (it.retries < m_run.maxRetries && !tooLong) {
            qint64 wait = qint64(m_run.backoffBaseMs) << it.retries;
            if (retryAfter)
                wait = qMax(wait, *retryAfter);
            ++it.retries;
            it.method = "GET";
            retryLater(index, wait);
            return;
        }
        r.verdict = give;
        conclude(index, r);
    };

    if (answer.outcome != HttpAnswer::Outcome::Answered) {
        switch (answer.outcome) {
        case HttpAnswer::Outcome::Refused: r.reason = Reason::Refused; break;
        case HttpAnswer::Outcome::UnknownHost: r.reason = Reason::UnknownHost; break;
        case HttpAnswer::Outcome::LookupFailed: r.reason = Reason::LookupFailed; break;
        case HttpAnswer::Outcome::Unreachable: r.reason = Reason::Unreachable; break;
        case HttpAnswer::Outcome::Tls: r.reason = Reason::Tls; break;
        case HttpAnswer::Outcome::BadAnswer: r.reason = Reason::BadAnswer; break;
        case HttpAnswer::Outcome::Reset:
            r.reason = timedOut ? Reason::TimedOut : Reason::Reset;
            break;
        case HttpAnswer::Outcome::Answered: break;
        }
        switch (r.reason) {
        case Reason::Refused:
        case Reason::UnknownHost:
            r.verdict = Verdict::Dead;
            conclude(index, r);
            return;
        case Reason::TimedOut: retryOr(Verdict::Dead, std::nullopt); return;
        case Reason::Reset: retryOr(Verdict::Uncertain, std::nullopt); return;
        case Reason::BadAnswer:
            if (head) { // some servers mangle only HEAD
                it.method = "GET";
                enqueue(index);
                return;
            }
            break;
        default: break;
        }
        r.verdict = Verdict::Uncertain;
        conclude(index, r);
        return;
    }

    r.reason = Reason::Answered;
    const int status = answer.status;
    const QString host = it.url.host().toLower();
    for (const auto &h : answer.headers) {
        if (h.first.compare("Set-Cookie", Qt::CaseInsensitive) != 0)
            continue;
        const QByteArray pair = h.second.split(';').constFirst();
        const int eq = int(pair.indexOf('='));
        if (eq <= 0)
            continue;
        const QByteArray name = pair.left(eq).trimmed();
        auto same = std::find_if(it.cookies.begin(), it.cookies.end(),
                                 [&](const Cookie &c) { return c.host == host && c.name == name; });
        if (same != it.cookies.end())
            same->value = pair.mid(eq + 1).trimmed();
        else if (it.cookies.size() < MaxCookies)
            it.cookies.append({host, name, pair.mid(eq + 1).trimmed()});
    }

    if (status >= 200 && status < 300) {
        r.verdict = Verdict::Alive;
        conclude(index, r);
        return;
    }
    if (isRedirect(status)) {
        const QByteArray location = headerValue(answer.headers, "Location");
        QUrl target = it.url.resolved(QUrl(QString::fromUtf8(location), QUrl::TolerantMode));
        if (!target.hasFragment() && it.url.hasFragment())
            target.setFragment(it.url.fragment(QUrl::FullyEncoded), QUrl::StrictMode);
        if (!location.isEmpty() && isCheckable(target)) {
            if (it.redirects >= MaxRedirects) {
                r.verdict = Verdict::Dead;
                r.reason = Reason::TooManyRedirects;
                conclude(index, r);
                return;
            }
            ++it.redirects;
            const bool permanent = status == 301 || status == 308;
            if (permanent && it.leadingPermanent)
                it.movedTo = target;
            else
                it.leadingPermanent = false;
            it.url = target;
            it.method = "HEAD";
            enqueue(index);
            return;
        }
        // A redirect to nowhere checkable: its status is the answer.
    }

    const bool notImplemented = head && (status == 405 || status == 501);
    if (!notImplemented && (status == 408 || status == 429 || (status >= 500 && status < 600))) {
        const auto retryAfter = retryAfterMs(headerValue(answer.headers, "Retry-After"),
                                             QDateTime::currentDateTimeUtc());
        // The host asked for a pause: nothing more goes to it until then.
        qint64 hold
            = retryAfter.value_or(status == 429 ? qint64(m_run.backoffBaseMs) << it.retries : 0);
        hold = qMin<qint64>(hold, m_run.maxRetryAfterMs);
        if (hold > 0) {
            Host &h = m_hosts[it.host];
            h.notBeforeMs = qMax(h.notBeforeMs, now() + hold);
            refresh(it.host);
        }
        retryOr(Verdict::Uncertain, retryAfter);
        return;
    }
    if (head && (status < 300 || status >= 400)) {
        it.method = "GET";
        enqueue(index);
        return;
    }
    r.verdict = status == 404 || status == 410 ? Verdict::Dead : Verdict::Uncertain;
    conclude(index, r);
}

void LinkCheck::retryLater(int index, qint64 waitMs)
{
    m_sleeping.insert({now() + waitMs, index});
    armTick();
}

void LinkCheck::armTick()
{
    qint64 earliest = std::numeric_limits<qint64>::max();
    if (!m_timed.empty())
        earliest = m_timed.begin()->first;
    if (!m_sleeping.empty())
        earliest = qMin(earliest, m_sleeping.begin()->first);
    if (earliest == std::numeric_limits<qint64>::max())
        return;
    if (m_tick.isActive() && m_tickAt <= earliest)
        return;
    m_tickAt = earliest;
    m_tick.start(int(std::clamp<qint64>(earliest - now(), 0, std::numeric_limits<int>::max())));
}

void LinkCheck::onTick()
{
    m_tickAt = -1;
    if (!m_running)
        return;
    const qint64 t = now();
    while (!m_sleeping.empty() && m_sleeping.begin()->first <= t) {
        const int index = m_sleeping.begin()->second;
        m_sleeping.erase(m_sleeping.begin());
        enqueue(index);
    }
    while (!m_timed.empty() && m_timed.begin()->first <= t) {
        const int h = m_timed.begin()->second;
        m_timed.erase(m_timed.begin());
        m_hosts[h].timedAt = -1;
        refresh(h);
    }
    dispatch();
    armTick();
}

// The address has its verdict; it waits to be emitted.
void LinkCheck::conclude(int index, LinkResult result)
{
    Item &it = m_items[index];
    result.finalAddress = it.url.isEmpty() ? m_rows[index].address.trimmed() : it.url.toString();
    // Only a page that answers at its new address is worth following.
    if (result.verdict == Verdict::Alive && !it.movedTo.isEmpty())
        result.movedTo = it.movedTo.toString();
    result.requests = it.requests;
    result.retries = it.retries;
    result.elapsedMs = it.firstMs < 0 ? 0 : qMax<qint64>(0, Clock::monotonicMs() - it.firstMs);
    result.checkedAt = QDateTime::currentDateTimeUtc();
    it.cookies.clear();
    m_results[index] = std::move(result);
    if (m_run.order == Order::AsAnswered)
        m_answered.push_back(index);
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
    if (m_run.order == Order::AsAnswered) {
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
    const quint64 run = m_runId;
    m_delivering = true;
    int index = 0;
    while (nextReady(&index)) {
        const LinkResult result = std::move(*m_results[index]);
        m_results[index].reset();
        ++m_checked;
        if (result.isDead())
            ++m_dead;
        Q_EMIT rowChecked(m_rows[index].row, result);
        if (!self)
            return;
        if (m_runId != run)
            break;
        Q_EMIT progress(m_checked, int(m_rows.size()), m_dead);
        if (!self)
            return;
        if (m_runId != run)
            break;
    }
    m_delivering = false;
    if (m_runId != run) {
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
    ++m_runId;
    Q_EMIT finished(cancelled);
}
