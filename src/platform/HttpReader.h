#pragma once

#include "platform/HttpMessage.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Reads one request to the local receiver as its bytes arrive, in pieces of any size, and holds
// it to the receiver's rules as soon as its head is in, before any of the body is taken: the
// Host must be this machine's (no DNS rebinding), a web page's Origin is refused, the token must
// match, the body must be announced by Content-Length and stay within the cap, the path and
// method must be known. Only then is the body read, up to its announced length.
class HttpReader
{
public:
    struct Route
    {
        QByteArray path;
        QList<QByteArray> methods;
    };
    struct Rules
    {
        quint16 port = 0;
        QByteArray token; // empty: every request is refused
        qint64 maxBody = 64 * 1024 * 1024;
        int maxHead = 64 * 1024; // request line and headers together
        QList<Route> routes; // empty: any path and method
    };
    enum class State {
        More, // waiting for more bytes
        Ready, // request() holds the whole request
        Refused, // refusal() is the answer (to an extension's preflight too); the connection
                 // ends after it
    };

    explicit HttpReader(Rules rules);

    // Takes the next bytes; once Ready or Refused, further bytes are ignored.
    State feed(const QByteArray &bytes);
    State state() const { return m_state; }
    // The head passed the rules, a body is awaited and the client waits for "100 Continue"
    // before it sends it.
    bool wantsContinue() const { return m_continue; }

    // The extension's Origin once the head is in, else empty: its answers allow that origin,
    // so an extension without the host permission can read them.
    QByteArray corsOrigin() const { return m_corsOrigin; }

    const Local::HttpRequest &request() const { return m_request; }
    const Local::HttpAnswer &refusal() const { return m_refusal; }

    // An answer {"error": message}.
    static Local::HttpAnswer error(int status, const QString &message);
    // The answer as it goes on the wire, with Connection: close; corsOrigin as corsOrigin().
    static QByteArray wire(const Local::HttpAnswer &answer, const QByteArray &corsOrigin = {});
    // Whether the Authorization header carries the token; takes the same time whatever differs.
    static bool carriesToken(const QByteArray &authorization, const QByteArray &token);

private:
    State refuse(int status, const QString &message);
    State readHead();
    State checkHead();

    Rules m_rules;
    State m_state = State::More;
    QByteArray m_head;
    qint64 m_length = 0;
    bool m_continue = false;
    bool m_inBody = false;
    QByteArray m_corsOrigin;
    Local::HttpRequest m_request;
    Local::HttpAnswer m_refusal;
};
