#pragma once

#include <QString>

// The files a link has in the data folder besides its row: its page picture (Pic/) and its
// saved copy (Arc/). They go with the link, so that a later link of the same number starts
// without them.
namespace LinkFiles {

void remove(const QString &dataPh, qint64 nURL);
// Deletes the pictures and copies of links the collection no longer holds; nothing when the
// link numbers cannot be read.
void removeOrphans(const QString &dataPh);

} // namespace LinkFiles
