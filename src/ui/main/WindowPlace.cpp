#include "WindowPlace.h"

#include "settings/yIni.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QSplitter>

namespace WindowPlace {
namespace {

QList<int> numbers(const QString &text)
{
    QList<int> out;
    for (const QString &part : text.split(u',')) {
        bool ok = false;
        out << part.trimmed().toInt(&ok);
        if (!ok)
            return {};
    }
    return out;
}

QString joined(const QList<int> &values)
{
    QStringList parts;
    for (const int v : values)
        parts << QString::number(v);
    return parts.join(u',');
}

} // namespace

bool restore(QMainWindow &w, QSplitter &split, yIni &ini)
{
    const QList<int> pos = numbers(ini.vGtVal(QStringLiteral("WND_POS"), QString()).toString());
    if (pos.size() != 4 || pos[2] < 100 || pos[3] < 100)
        return false;
    const QRect place(pos[0], pos[1], pos[2], pos[3]);
    // A screen unplugged since: the first start's place instead.
    bool onScreen = false;
    for (const QScreen *screen : QGuiApplication::screens())
        onScreen = onScreen
            || screen->availableGeometry().intersects(
                place.adjusted(0, 0, 0, -place.height() + 40));
    if (!onScreen)
        return false;
    w.resize(place.size());
    w.move(place.topLeft());
    const QList<int> panes = numbers(ini.vGtVal(QStringLiteral("WND_SPLIT"), QString()).toString());
    if (panes.size() == split.count())
        split.setSizes(panes);
    if (ini.vGtVal(QStringLiteral("WND_MAX"), false).toBool())
        w.setWindowState(w.windowState() | Qt::WindowMaximized);
    return true;
}

QRect inside(const QRect &frame, const QRect &area)
{
    QRect r(frame.topLeft(), frame.size().boundedTo(area.size()));
    r.moveLeft(qBound(area.left(), r.left(), area.right() - r.width() + 1));
    r.moveTop(qBound(area.top(), r.top(), area.bottom() - r.height() + 1));
    return r;
}

void keepInside(QMainWindow &w)
{
    if (w.isMaximized() || !w.screen())
        return;
    const QRect frame = w.frameGeometry();
    const QRect r = inside(frame, w.screen()->availableGeometry());
    if (r == frame)
        return;
    w.resize(w.size() - (frame.size() - r.size()));
    w.move(r.topLeft());
}

void store(const QMainWindow &w, const QSplitter &split, yIni &ini)
{
    // The place it has when not maximised: the frame's position, the client area's size.
    const QRect normal = w.isMaximized() ? w.normalGeometry() : w.geometry();
    const QPoint frame = w.isMaximized() ? normal.topLeft() : w.frameGeometry().topLeft();
    ini.SetVal(QStringLiteral("WND_POS"),
               joined({frame.x(), frame.y(), normal.width(), normal.height()}));
    ini.SetVal(QStringLiteral("WND_MAX"), w.isMaximized());
    ini.SetVal(QStringLiteral("WND_SPLIT"), joined(split.sizes()));
}

} // namespace WindowPlace
