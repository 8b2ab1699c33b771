#include "EmptyCollection.h"

#include "pages/PageArchive.h"
#include "pages/PageImage.h"
#include "platform/DataFolder.h"
#include "store/LinkStore.h"
#include "store/TextStore.h"

EmptyCollection::EmptyCollection(const QString &dataPh)
    : m_dataPh(dataPh)
{
}

bool EmptyCollection::run(QString *error)
{
    // The name of group 0 is data: Japanese in every language.
    if (!LinkStore::reset(QStringLiteral("未分類"), error))
        return false;
    // The numbers start again: a copy left behind would be taken for a new link's.
    PageArchive::removeOrphans(m_dataPh, nullptr);
    TextStore(DataFolder::textIndex(m_dataPh)).removeAll();
    return true;
}

void EmptyCollection::removePictures()
{
    PageImage::removeOrphans(m_dataPh, nullptr);
}
