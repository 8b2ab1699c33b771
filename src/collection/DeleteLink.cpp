#include "DeleteLink.h"

#include "collection/LinkIndex.h"
#include "pages/LinkFiles.h"
#include "store/LinkStore.h"

DeleteLink::DeleteLink(const QString &dataPh, LinkIndex *index)
    : m_dataPh(dataPh)
    , m_index(index)
{
}

bool DeleteLink::run(qint64 nURL, QString *error)
{
    if (!LinkStore::deleteLink(nURL, error))
        return false;
    LinkFiles::remove(m_dataPh, nURL);
    if (m_index)
        m_index->deleted(nURL);
    return true;
}
