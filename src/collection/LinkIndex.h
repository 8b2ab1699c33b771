#pragma once

#include "store/Records.h"

// The search index over the collection: told of every link registered, corrected or deleted,
// so that it need not read the collection again.
class LinkIndex
{
public:
    virtual ~LinkIndex() = default;
    virtual void saved(const LinkRecord &link) = 0;
    virtual void deleted(qint64 nURL) = 0;
};
