#include "DeleteLink.h"

#include "collection/LinkIndex.h"
#include "pages/LinkFiles.h"
#include "platform/DataFolder.h"
#include "store/LinkStore.h"
#include "store/TextStore.h"

DeleteLink::DeleteLink(const QString &dataPh, LinkIndex *index)
    : m_dataPh(dataPh)
    , m_index(index)
{
}

DeleteLink::~DeleteLink() = default;

bool DeleteLink::run(qint64 nURL, QString *error)
{
    if (!LinkStore::deleteLink(nURL, error))
        return false;
    rowGone(nURL);
    return true;
}

void DeleteLink::rowGone(qint64 nURL)
{
    LinkFiles::remove(m_dataPh, nURL);
    if (m_index)
        m_index->deleted(nURL);
    if (m_dataPh.isEmpty())
        return;
    if (!m_text)
        m_text = std::make_unique<TextStore>(DataFolder::textIndex(m_dataPh));
    m_text->remove(nURL);
}
