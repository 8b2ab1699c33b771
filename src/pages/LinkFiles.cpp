#include "LinkFiles.h"

#include "pages/PageArchive.h"
#include "pages/PageImage.h"
#include "store/LinkStore.h"

#include <QFile>

namespace LinkFiles {

void remove(const QString &dataPh, qint64 nURL)
{
    QFile::remove(PageImage::fileFor(dataPh, nURL));
    PageArchive::remove(dataPh, nURL);
}

void removeOrphans(const QString &dataPh)
{
    std::vector<qint64> numbers;
    // Without the numbers nothing can be told apart: delete nothing.
    if (!LinkStore::linkNumbers(numbers))
        return;
    PageImage::removeOrphans(dataPh, &numbers);
    PageArchive::removeOrphans(dataPh, &numbers);
}

} // namespace LinkFiles
