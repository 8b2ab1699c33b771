#pragma once

#include <QList>
#include <QString>

// Pictures of every link anew: which links, in number order, and about how long the run takes.
// The window asks, captures each page and writes its picture.
class PictureRun
{
public:
    struct Link
    {
        qint64 nURL = 0;
        QString address;
    };
    // A page takes a few seconds to load and paint.
    static constexpr qint64 kSecondsPerLink = 3;

    // Every link of the open collection; false with *error when they cannot be read.
    bool load(QString *error = nullptr);
    const QList<Link> &links() const { return m_links; }
    // Whole minutes, rounded up.
    qint64 minutes() const;

private:
    QList<Link> m_links;
};
