#include "PictureRun.h"

#include "store/LinkStore.h"

bool PictureRun::load(QString *error)
{
    m_links.clear();
    return LinkStore::forEachAddress(
        [this](qint64 n, const QString &url) {
            m_links.append({n, url});
        },
        error);
}

qint64 PictureRun::minutes() const
{
    return (m_links.size() * kSecondsPerLink + 59) / 60;
}
