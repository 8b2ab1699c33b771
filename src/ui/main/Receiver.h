#pragma once

#include "platform/LocalServer.h"

#include <QObject>
#include <QString>

#include <memory>

class yIni;

// The main window's receiver of pages from the user's own browser: the local server under the
// settings of CaptureSettings, with its handler. A port it cannot listen on is said once, when
// it starts; the program goes on without the receiver.
class Receiver : public QObject
{
    Q_OBJECT
public:
    // Without a handler requests get 503 until one is given.
    explicit Receiver(std::unique_ptr<Local::HttpHandler> handler = {}, QObject *parent = nullptr);
    ~Receiver() override;

    // (Re)starts as the settings say, or stops when they turn it off.
    void start(yIni &ini);
    void stop();

    bool isListening() const { return m_server.isListening(); }
    // Why it does not listen although on; empty otherwise.
    QString failure() const { return m_failure; }
    // After a renewed token: requests with the old one are refused from now on.
    void setToken(const QString &token) { m_server.setToken(token.toUtf8()); }
    LocalServer &server() { return m_server; }

    // The paths and methods the receiver answers.
    static QList<HttpReader::Route> routes();
    static QString address(quint16 port);

private:
    std::unique_ptr<Local::HttpHandler> m_handler;
    LocalServer m_server;
    QString m_failure;
};
