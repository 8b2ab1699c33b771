#pragma once

#include "check/LinkCheck.h"

#include <QList>
#include <QObject>
#include <QString>

// One run of the link check, for the maintenance window and the command line alike: the links
// given are checked with the engine, each result comes with its mark (the link's history taken
// into account), and the run goes into the history in one transaction when it ends, finished
// or stopped. Runs on the caller's event loop; a QCoreApplication is enough.
class CheckRun : public QObject
{
    Q_OBJECT
public:
    struct Link
    {
        qint64 nURL = 0;
        QString address;
    };
    struct Checked
    {
        qint64 nURL = 0;
        LinkResult result;
        QString mark; // "◎", "→", "△", "×" or "××"
        // number, verdict (alive, dead, uncertain), final status, final address, seconds (two
        // decimals), joined by TAB; control characters of the address percent-encoded so the
        // line stays one.
        QString line() const;
    };

    // client: not owned; nullptr for the real network.
    explicit CheckRun(HttpClient *client = nullptr, QObject *parent = nullptr);

    // The engine, for its limits, deadline and order.
    LinkCheck &engine() { return m_check; }

    // The links to check: every link, or those of one group (0 included), in number order.
    static bool allLinks(QList<Link> &out, QString *error = nullptr);
    static bool linksOfGroup(qint64 nGrp, QList<Link> &out, QString *error = nullptr);

    // Checks the links and returns when every one is checked or the run is stopped; what was
    // checked is then recorded. False with *error when it could not be recorded (results()
    // still holds it). A checked handler may open a modal box.
    bool run(const QList<Link> &links, QString *error = nullptr);
    // Stops the run: links not yet checked get no result. Does nothing between runs.
    void stop();
    bool stopped() const { return m_stopped; }

    // The last run's results in the order they came.
    const QList<Checked> &results() const { return m_results; }
    int deadCount() const;

Q_SIGNALS:
    void checked(const CheckRun::Checked &checked);
    // After each checked: links checked so far, links in the run, dead ("×") among those.
    void progress(int checked, int total, int dead);

private:
    LinkCheck m_check;
    QList<Checked> m_results;
    bool m_stopped = false;
};
