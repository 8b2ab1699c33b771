#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

// The outcome of checking one address: what the window shows and what a history keeps.
struct LinkResult
{
    enum class Verdict {
        Alive, // "◎": 2xx, or redirects leading to 2xx
        Dead, // "×": 404, 410, unknown host, refused, time-out, > 10 redirects, invalid address
        Uncertain, // "△": 401, 403, 429, 5xx, TLS errors, any other status or failure
    };
    enum class Reason {
        Answered, // the final answer's status decides
        InvalidAddress, // empty, not http/https, or without a host; never sent
        Refused, // connection refused
        UnknownHost, // the name does not exist
        LookupFailed, // the name could not be looked up (a resolver failure, not a missing name)
        Unreachable, // no connection for another reason (no route, network down)
        TimedOut, // no answer within the deadline, every try
        Reset, // the connection broke before the headers, every try
        Tls, // the TLS handshake failed or the certificate is not trusted
        BadAnswer, // not HTTP, or headers beyond the size limit
        TooManyRedirects, // a redirect loop or a chain of more than ten
    };

    Verdict verdict = Verdict::Dead;
    Reason reason = Reason::InvalidAddress;
    int status = 0; // HTTP status of the final answer; 0 without one
    QString finalAddress; // where the last request went (the address itself without redirects)
    // Where the link has moved for good: the end of the 301/308 redirects the chain starts with
    // (a temporary redirect after them, to a log-in page say, is not followed into it). Empty
    // when the first answer was not a permanent redirect, or the verdict is not alive.
    QString movedTo;
    int requests = 0; // requests sent, redirects and retries included
    int retries = 0;
    qint64 elapsedMs = 0; // from the first request to the verdict, waits between tries included
    QDateTime checkedAt; // UTC, when the verdict was reached
    QString headers; // the final answer's header lines, "Name: value" joined by CR LF
    QString error; // the network's reason when there was no answer

    bool isDead() const { return verdict == Verdict::Dead; }
    QString mark() const; // "◎", "×" or "△"
    QString verdictName() const; // "alive", "dead" or "uncertain"
    QString timeText() const; // seconds with two decimals: 350 ms gives "0.35"

    static QString mark(Verdict verdict);
    static QString timeText(qint64 elapsedMs);
};
Q_DECLARE_METATYPE(LinkResult)
