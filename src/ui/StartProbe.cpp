#include "StartProbe.h"

#include "ui/main/LinkListView.h"
#include "ui/main/SearchBox.h"
#include "ui/main/fmLink.h"

#include <QEvent>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace StartProbe {
namespace {

long statusKiB(const QByteArray &key, const QByteArray &status)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').constFirst().toLong();
    }
    return 0;
}

[[noreturn]] void report(const LinkListView &list)
{
    QFile f(QStringLiteral("/proc/self/status"));
    const QByteArray status = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    std::printf("rows=%d rss_kb=%ld hwm_kb=%ld\n", list.MaxRows(), statusKiB("VmRSS:", status),
                statusKiB("VmHWM:", status));
    std::fflush(stdout);
    // Measured is the start, not the end: no teardown.
    std::_Exit(0);
}

class Watcher : public QObject
{
public:
    Watcher(bool untilReady, LinkListView &list, SearchBox &search)
        : QObject(&list)
        , m_untilReady(untilReady)
        , m_list(list)
        , m_search(search)
    {
        list.viewport()->installEventFilter(this);
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this] {
            if (m_painted && m_search.isReady() && (m_untilReady || m_list.MaxRows() == 0)) {
                m_list.viewport()->repaint();
                report(m_list);
            }
        });
        poll->start(5);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_list.isVisible()) {
            m_painted = true;
            if (!m_untilReady && m_list.MaxRows() > 0) // once this paint is done
                QTimer::singleShot(0, this, [this] { report(m_list); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_untilReady;
    bool m_painted = false;
    LinkListView &m_list;
    SearchBox &m_search;
};

} // namespace

void watch(fmLink &window)
{
    const QByteArray mode = qgetenv("LINKWELL_START_PROBE");
    auto *list = window.findChild<LinkListView *>(QStringLiteral("vSpr"));
    auto *search = window.findChild<SearchBox *>();
    if ((mode != "list" && mode != "ready") || !list || !search)
        return;
    new Watcher(mode == "ready", *list, *search);
}

} // namespace StartProbe
