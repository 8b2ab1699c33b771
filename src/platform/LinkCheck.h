#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Asks every address whether it still answers: a HEAD request (GET for servers that refuse
// HEAD), redirects followed, a deadline per address. Runs asynchronously with a limit on
// requests in flight in all and per host; results arrive as they come.
class LinkCheck : public QObject
{
    Q_OBJECT
public:
    struct Job
    {
        int row = 0;
        QString url;
    };
    struct Result
    {
        bool alive = false;
        int status = 0;     // the final HTTP status, 0 for no answer
        QString headers;    // "Name: value" lines joined by CR LF; empty for no answer
        qint64 elapsedMs = 0;
        QString mark() const;  // "◎" alive, "×" dead
        QString tenths() const; // the time in tenths of a second, one decimal
    };

    // The network comes from the caller (tests pass their own); none makes one of its own.
    explicit LinkCheck(QNetworkAccessManager *network = nullptr, QObject *parent = nullptr);
    ~LinkCheck() override;

    void setLimits(int total, int perHost);
    void setDeadlineMs(int ms) { m_deadlineMs = ms; }

    // Starts the jobs in their order. With sequential, one at a time, so results come in order.
    void start(const QList<Job> &jobs, bool sequential = false);
    // Stops: requests in flight are dropped and give no result; finished() follows.
    void cancel();
    bool running() const { return m_running; }

    static QString hostOf(const QString &url);
    static bool validAddress(const QString &url);

Q_SIGNALS:
    void rowChecked(int row, const LinkCheck::Result &result);
    void progress(int checked, int total, int dead);
    void finished();

private:
    struct Active
    {
        Job job;
        QString host;
        qint64 startedMs = 0;
        bool usedGet = false;
        QPointer<QNetworkReply> reply;
        QTimer *deadline = nullptr;
        bool haveHeaders = false;
        Result result;
    };

    void pump();
    void launch(Active *a, bool get);
    void onFinished(Active *a);
    void complete(Active *a, bool alive);
    void finishIfDone();
    static QString headerText(QNetworkReply *reply);

    QNetworkAccessManager *m_network;
    bool m_ownNetwork = false;
    QList<Job> m_queue;
    QList<Active *> m_active;
    QHash<QString, int> m_perHostNow;
    int m_total = 32;
    int m_perHost = 4;
    int m_deadlineMs = 20000;
    int m_jobs = 0;
    int m_checked = 0;
    int m_dead = 0;
    bool m_running = false;
};
