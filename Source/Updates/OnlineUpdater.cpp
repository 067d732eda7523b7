#include "Updates/OnlineUpdater.h"

#include <mutex>

namespace
{
std::mutex factoryLock;

OnlineUpdater::Factory& installedFactory()
{
    static OnlineUpdater::Factory factory;
    return factory;
}
} // namespace

void OnlineUpdater::setFactory (Factory factory)
{
    const std::lock_guard<std::mutex> lock (factoryLock);
    installedFactory() = std::move (factory);
}

void OnlineUpdater::startQuery()
{
    if (query != nullptr)
        return;

    {
        const std::lock_guard<std::mutex> lock (factoryLock);
        if (installedFactory() != nullptr)
            query = installedFactory()();
    }

    if (query != nullptr)
        query->launch();
}
