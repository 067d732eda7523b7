#include "Updates/VersionQuery.h"

namespace
{
VersionQuery answer (int status, VersionNumber version, const juce::PropertySet* properties = nullptr)
{
    VersionQuery query;
    query.status = status;
    query.version = version;
    if (properties != nullptr)
        query.properties = *properties;
    return query;
}
} // namespace

VersionQuery VersionQuery::decide (const juce::PropertySet& versionFile, VersionNumber deviceFirmware,
                                   VersionNumber carriedFirmware)
{
    if (! versionFile.containsKey ("pluginVersion"))
        return answer (queryFailed, {});

    const auto own = VersionNumber::versionNumberFromString (pluginVersionString);
    const auto online = VersionNumber::versionNumberFromString (versionFile.getValue ("pluginVersion"));

    if (own < online)
        return answer (queryPluginAvailable, online, &versionFile);

    if (deviceFirmware != 0)
    {
        const auto onlineFirmware = VersionNumber::versionNumberFromString (versionFile.getValue ("firmwareVersion"));

        if (carriedFirmware > deviceFirmware)
            return answer (queryFirmwareRequired, carriedFirmware, &versionFile);

        if (onlineFirmware > deviceFirmware)
            return answer (queryFirmwareAvailable, onlineFirmware, &versionFile);
    }

    return answer (online != 0 ? queryUpToDate : queryFailed, {});
}
