#pragma once

#include "Updates/VersionQueryController.h"

#include <memory>

// The processor's automatic version check: at most one query per processor,
// kept until the processor goes so that the editor can read its result.
class OnlineUpdater
{
public:
    // Creates and launches the query once; later calls do nothing. Message thread.
    void startQuery();

    VersionQueryController* getQuery() const noexcept { return query.get(); }
    bool hasQuery() const noexcept { return query != nullptr; }

    // The query's answer for the pedal's firmware; up to date while there is no query.
    VersionQuery getResult (VersionNumber deviceFirmware) const;

    // Deleting a running query cancels its transfer and stops its thread first.
    void reset() { query.reset(); }

private:
    std::unique_ptr<VersionQueryController> query;
};
