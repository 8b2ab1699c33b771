#pragma once

#include "platform/PagePicturer.h"

#include <QObject>
#include <QQueue>
#include <QUrl>

#include <memory>

class QTemporaryFile;
class QTimer;
class QWebEngineProfile;
class QWebEngineView;
class FileOnlyInterceptor;

// Pictures of pages sent from another browser: a view never shown on screen, with scripts off
// and every request but the page's own file refused, so a page cannot run code or call home.
// One page at a time; later ones wait their turn.
class OffscreenPicturer : public QObject, public PagePicturer
{
    Q_OBJECT
public:
    explicit OffscreenPicturer(QObject *parent = nullptr);
    ~OffscreenPicturer() override;

    void take(const QString &htmlPath, Done done) override;

    // How long a page may take to load and paint before it is given up.
    int timeoutMs = 15000;
    // Only the head of a larger page is rendered: the picture shows its first screen, and the
    // browser's time grows with the whole page (a 10 MB page took longer than the time-out).
    qint64 renderBytes = 512 * 1024;

private:
    struct Job
    {
        QString path;
        Done done;
    };
    void makeView();
    void startNext();
    void finish(const QImage &picture);

    std::unique_ptr<FileOnlyInterceptor> m_interceptor;
    QWebEngineProfile *m_profile = nullptr;
    QWebEngineView *m_view = nullptr;
    QTimer *m_timeout = nullptr;
    QQueue<Job> m_jobs;
    std::unique_ptr<QTemporaryFile> m_head; // the head of a large page, while it renders
    bool m_busy = false;
    int m_serial = 0;
};
