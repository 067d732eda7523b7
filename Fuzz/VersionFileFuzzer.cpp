// Reads arbitrary bytes as the update server's version file, then answers the
// version check from what was kept, for a pedal with and without firmware.
#include "FuzzSupport.h"
#include "Updates/VersionFile.h"
#include "Updates/VersionQuery.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    initialiseFramework();

    juce::PropertySet file (false);
    const bool readable = VersionFile::read (data, size, file);

    if (! readable && file.getAllProperties().size() != 0)
        __builtin_trap();

    for (const juce::uint32 device : { 0u, 0x000100u, 0xFFFFFFu })
    {
        const auto answer = VersionQuery::decide (file, VersionNumber (device), VersionNumber (0x000105));

        if (answer.status < VersionQuery::queryUpToDate || answer.status > VersionQuery::queryPluginAvailable
            || ((juce::uint32) answer.version >> 24) != 0)
            __builtin_trap();
    }

    return 0;
}
