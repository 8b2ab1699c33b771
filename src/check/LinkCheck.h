#pragma once

#include "platform/HttpClient.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QUrl>

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

// The outcome of checking one address.
struct LinkResult
{
    enum class Reason {
        Answered, // the final answer's status decides
        InvalidAddress, // empty, not http/https, or without a host; never sent
        Refused, // connection refused
        NoAnswer, // unknown host, dropped connection, TLS failure, ...
        TimedOut, // the address's deadline passed
        TooManyRedirects // a redirect loop or a chain of more than ten
    };

    bool alive = false;
    Reason reason = Reason::NoAnswer;
    int status = 0; // HTTP status of the final answer; 0 without one
    qint64 elapsedMs = 0; // from the first request to the final answer, on Clock::monotonicMs
    QString headers; // the final answer's header lines, "Name: value" joined by CR LF

    QString mark() const; // "◎" alive, "×" dead
    QString timeText() const; // tenths of a second with one decimal: 350 ms gives "3.5"

    static QString timeText(qint64 elapsedMs);
};
Q_DECLARE_METATYPE(LinkResult)

// Checks a list of addresses for dead links, asynchronously on the caller's event loop.
//
// Each address gets a HEAD request. Redirects are followed (ten at most; a loop or a longer
// chain is dead); a HEAD answered with 405 or 501 is asked again with GET, whose body is never
// read. Each address has a deadline of its own (20 s unless set), after which its request is
// aborted. Dead: no answer, time-out, refused, invalid address, too many redirects, and the
// final statuses 404 and 410; every other answer is alive.
//
// Up to maxInFlight requests run at once, at most maxPerHost per host (host name lower-cased
// with port; an address keeps counting against its own host while it follows a redirect);
// addresses wait their turn in row order. Nothing happens inside start() but the
// first requests going out: every signal comes later, from the event loop.
//
// Order::AsAnswered emits rowChecked as the answers come. Order::RowOrder (the mode for showing
// each row's headers one after the other) still checks concurrently but releases the results
// strictly in row order. In both modes a rowChecked handler may open a modal box (a nested
// event loop): no further rowChecked is emitted until that handler has returned, while the
// requests behind it go on. The time of a row is that of its requests, never of a box.
class LinkCheck : public QObject
{
    Q_OBJECT
public:
    struct Row
    {
        int row = 0;
        QString address;
    };

    enum class Order { AsAnswered, RowOrder };

    static constexpr int DefaultMaxInFlight = 32;
    static constexpr int DefaultMaxPerHost = 4;
    static constexpr int DefaultDeadlineMs = 20000;
    static constexpr int MaxRedirects = 10;

    // client: not owned, must outlive the check; nullptr makes a NetworkHttpClient of its own.
    explicit LinkCheck(HttpClient *client = nullptr, QObject *parent = nullptr);
    ~LinkCheck() override;

    // Settings take effect at the next start().
    void setMaxInFlight(int n);
    void setMaxPerHost(int n);
    void setDeadlineMs(int ms);
    void setOrder(Order order);
    int maxInFlight() const { return m_maxInFlight; }
    int maxPerHost() const { return m_maxPerHost; }
    int deadlineMs() const { return m_deadlineMs; }
    Order order() const { return m_order; }

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
    // The key the per-host limit counts by: "host:port", host lower-cased, default port filled in.
    static QString hostKey(const QUrl &url);

Q_SIGNALS:
    void rowChecked(int row, const LinkResult &result);
    // After each rowChecked: rows reported so far, rows in the run, dead among those reported.
    void progress(int checked, int total, int dead);
    // Once per start(): all rows reported (false) or cancel() (true).
    void finished(bool cancelled);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    struct Flight
    {
        HttpReply *reply = nullptr;
        QUrl url;
        QByteArray method;
        int redirects = 0;
        int timerId = 0;
        qint64 startMs = 0;
        int host = -1;
    };
    struct Host
    {
        std::deque<int> waiting; // item indexes in row order
        int inFlight = 0;
    };

    void dispatch();
    void offer(int host);
    void send(int index);
    void onAnswer(int index, HttpReply *reply, const HttpAnswer &answer);
    void conclude(int index, LinkResult result);
    void scheduleDelivery();
    void deliver();
    bool nextReady(int *index);
    void finishRun(bool cancelled);
    void clearRun();

    std::unique_ptr<HttpClient> m_ownClient;
    HttpClient *m_client = nullptr;

    int m_maxInFlight = DefaultMaxInFlight;
    int m_maxPerHost = DefaultMaxPerHost;
    int m_deadlineMs = DefaultDeadlineMs;
    Order m_order = Order::AsAnswered;

    // The run.
    Order m_runOrder = Order::AsAnswered;
    int m_runMaxInFlight = DefaultMaxInFlight;
    int m_runMaxPerHost = DefaultMaxPerHost;
    int m_runDeadlineMs = DefaultDeadlineMs;
    bool m_running = false;
    quint64 m_run = 0; // changes with every start and cancel, so stale callbacks know
    QList<Row> m_rows;
    std::vector<std::optional<LinkResult>> m_results; // concluded, not yet emitted
    std::deque<int> m_answered; // AsAnswered: indexes in arrival order
    int m_nextInOrder = 0; // RowOrder: next index to emit
    std::vector<Host> m_hosts;
    std::set<std::pair<int, int>> m_ready; // (first waiting index, host) of hosts with room
    std::unordered_map<int, Flight> m_flights; // by item index
    std::unordered_map<int, int> m_timers; // timer id -> item index
    int m_inFlight = 0;
    int m_checked = 0;
    int m_dead = 0;
    bool m_delivering = false;
    bool m_deliveryQueued = false;
};
