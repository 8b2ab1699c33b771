#pragma once

#include "check/LinkResult.h"
#include "platform/HttpClient.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

// Checks a list of addresses for dead links, asynchronously on the caller's event loop.
//
// Requests: HEAD first. An answer other than 2xx/3xx, or a HEAD that fails after its connection
// was made, is asked again with GET (headers only: the connection is closed as soon as they are
// in). A HEAD's connection serves the next requests to its host (the client's keep-alive): the
// per-host limit bounds the connections to a host as it bounds the requests. Redirects are
// followed, ten at most, each step a request of its own; cookies set on the way go back to their
// host, as a browser would send them.
//
// Retries: a time-out, a broken connection, 408, 429 and 5xx are tried again up to maxRetries
// times after waits of backoffBase x 1, 2, 4; a Retry-After (seconds or a date) longer than the
// backoff is waited instead, and one longer than maxRetryAfter ends the tries. A retry after a
// failed HEAD is the GET. A 429 or a Retry-After holds back every request to that host. Refused
// connections, unknown hosts and TLS failures are not retried.
//
// Politeness: at most maxInFlight requests at once, maxPerHost per host ("host:port", the host
// each request actually goes to), and minSpacing between the starts of two requests to one
// host. Addresses wait their turn in row order. Each request has its own deadline.
//
// Order::AsAnswered emits rowChecked as the verdicts come. Order::RowOrder (the mode for showing
// each row's headers one after the other) still checks concurrently but releases the results
// strictly in row order. In both modes a rowChecked handler may open a modal box (a nested
// event loop): no further rowChecked is emitted until that handler has returned, while the
// requests behind it go on. The time of a row is that of its requests, never of a box.
// Nothing happens inside start() but the first requests going out: every signal comes later.
class LinkCheck : public QObject
{
    Q_OBJECT
public:
    struct Row
    {
        qint64 row = 0;
        QString address;
    };

    enum class Order { AsAnswered, RowOrder };

    static constexpr int DefaultMaxInFlight = 64;
    static constexpr int DefaultMaxPerHost = 4;
    static constexpr int DefaultMinSpacingMs = 50;
    static constexpr int DefaultDeadlineMs = 20000;
    static constexpr int DefaultMaxRetries = 3;
    static constexpr int DefaultBackoffBaseMs = 1000;
    static constexpr int DefaultMaxRetryAfterMs = 60000;
    static constexpr int MaxRedirects = 10;

    // client: not owned, must outlive the check; nullptr makes a NetworkHttpClient of its own.
    explicit LinkCheck(HttpClient *client = nullptr, QObject *parent = nullptr);
    ~LinkCheck() override;

    // Settings take effect at the next start().
    void setMaxInFlight(int n);
    void setMaxPerHost(int n);
    void setMinSpacingMs(int ms);
    void setDeadlineMs(int ms); // per request
    void setMaxRetries(int n);
    void setBackoffBaseMs(int ms); // the first wait; later ones double
    void setMaxRetryAfterMs(int ms);
    void setOrder(Order order);
    int maxInFlight() const { return m_settings.maxInFlight; }
    int maxPerHost() const { return m_settings.maxPerHost; }
    int deadlineMs() const { return m_settings.deadlineMs; }
    Order order() const { return m_settings.order; }

    // Starts checking the rows (sorted by row number, stable). False when a check is running.
    // An empty list finishes at once (finished(false) from the event loop).
    bool start(const QList<Row> &rows);
    // Aborts the requests in flight and drops results not yet emitted: those rows get no
    // result. finished(true) is emitted before cancel() returns; nothing else comes after it.
    // Does nothing when no check is running.
    void cancel();
    bool isRunning() const { return m_running; }

    // The address as it will be requested; an invalid QUrl when it cannot be checked.
    static QUrl checkableUrl(const QString &address);
    // The key the per-host limits count by: "host:port", host lower-cased, default port filled in.
    static QString hostKey(const QUrl &url);
    // How long a Retry-After value asks to wait: delay seconds or an HTTP date (a past date is
    // 0); nothing when the value is neither.
    static std::optional<qint64> retryAfterMs(const QByteArray &value, const QDateTime &nowUtc);

Q_SIGNALS:
    void rowChecked(qint64 row, const LinkResult &result);
    // After each rowChecked: rows reported so far, rows in the run, dead ("×") among those.
    void progress(int checked, int total, int dead);
    // Once per start(): all rows reported (false) or cancel() (true).
    void finished(bool cancelled);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    struct Settings
    {
        int maxInFlight = DefaultMaxInFlight;
        int maxPerHost = DefaultMaxPerHost;
        int minSpacingMs = DefaultMinSpacingMs;
        int deadlineMs = DefaultDeadlineMs;
        int maxRetries = DefaultMaxRetries;
        int backoffBaseMs = DefaultBackoffBaseMs;
        int maxRetryAfterMs = DefaultMaxRetryAfterMs;
        Order order = Order::AsAnswered;
    };
    struct Cookie
    {
        QString host;
        QByteArray name;
        QByteArray value;
    };
    // One address on its way: the request it is at, what it has met so far.
    struct Item
    {
        QUrl url; // of the next or current request
        QByteArray method = "HEAD";
        int host = -1; // of the current request
        int redirects = 0;
        int retries = 0;
        int requests = 0;
        bool leadingPermanent = true; // every redirect so far was 301/308
        QUrl movedTo;
        QList<Cookie> cookies;
        qint64 firstMs = -1; // Clock::monotonicMs() at the first request
        HttpReply *reply = nullptr;
        int timerId = 0;
    };
    struct Host
    {
        std::set<int> waiting; // item indexes, row order first
        int inFlight = 0;
        qint64 lastStartMs = -1;
        qint64 notBeforeMs = 0; // held back by a 429 or Retry-After
        int readyIndex = -1; // its entry in m_ready, or -1
        qint64 timedAt = -1; // its entry in m_timed, or -1
    };

    int hostFor(const QUrl &url);
    void enqueue(int index);
    void refresh(int host);
    void dispatch();
    void send(int index);
    void release(int index);
    void onAnswer(int index, HttpReply *reply, const HttpAnswer &answer);
    void handle(int index, const HttpAnswer &answer, bool timedOut = false);
    void retryLater(int index, qint64 waitMs);
    void conclude(int index, LinkResult result);
    void armTick();
    void onTick();
    void scheduleDelivery();
    void deliver();
    bool nextReady(int *index);
    void finishRun(bool cancelled);
    void clearRun();
    qint64 now() const { return m_clock.elapsed(); }

    std::unique_ptr<HttpClient> m_ownClient;
    HttpClient *m_client = nullptr;
    Settings m_settings;

    // The run.
    Settings m_run;
    bool m_running = false;
    quint64 m_runId = 0; // changes with every start and cancel, so stale callbacks know
    QElapsedTimer m_clock; // schedules; results are timed on Clock::monotonicMs()
    QList<Row> m_rows;
    std::vector<Item> m_items;
    std::vector<std::optional<LinkResult>> m_results; // concluded, not yet emitted
    std::deque<int> m_answered; // AsAnswered: indexes in arrival order
    int m_nextInOrder = 0; // RowOrder: next index to emit
    QHash<QString, int> m_hostIds;
    std::vector<Host> m_hosts;
    std::set<std::pair<int, int>> m_ready; // (first waiting index, host): may start now
    std::set<std::pair<qint64, int>> m_timed; // (time, host): may start at that time
    std::set<std::pair<qint64, int>> m_sleeping; // (time, item): retries waiting
    std::unordered_map<int, int> m_timers; // deadline timer id -> item index
    QTimer m_tick;
    qint64 m_tickAt = -1;
    int m_inFlight = 0;
    int m_checked = 0;
    int m_dead = 0;
    bool m_delivering = false;
    bool m_deliveryQueued = false;
};
