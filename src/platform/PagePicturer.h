#pragma once

#include <QImage>
#include <QString>

#include <functional>

// Takes the picture of a page kept as one HTML file, as a browser window of the capture
// window's size shows it: nothing of it is run and nothing is fetched. The real one renders off
// screen on Qt WebEngine (platform/widgets/OffscreenPicturer).
class PagePicturer
{
public:
    using Done = std::function<void(const QImage &picture)>;
    virtual ~PagePicturer() = default;
    // done comes once, later, from the event loop: a null picture when none could be taken.
    virtual void take(const QString &htmlPath, Done done) = 0;
};
