#include "Updates/OnlineUpdater.h"

void OnlineUpdater::startQuery()
{
    if (query != nullptr)
        return;

    query = std::make_unique<VersionQueryController>();
    query->launchThread();
}

VersionQuery OnlineUpdater::getResult (VersionNumber deviceFirmware) const
{
    if (query == nullptr)
    {
        VersionQuery upToDate;
        upToDate.status = VersionQuery::queryUpToDate;
        return upToDate;
    }

    return query->getResult (deviceFirmware);
}
