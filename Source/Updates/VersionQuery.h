#pragma once

#include "Updates/VersionNumber.h"

#include <juce_data_structures/juce_data_structures.h>

// What the online version check tells the editor.
struct VersionQuery
{
    enum Status
    {
        queryUpToDate = 0,          // plug-in and firmware are current
        queryFailed = 1,            // no usable version information
        queryFirmwareRequired = 2,  // the carried firmware image is newer than the pedal's
        queryFirmwareAvailable = 3, // the online firmware is newer than the pedal's
        queryPluginAvailable = 4    // a newer plug-in is online
    };

    // The plug-in's own version.
    static constexpr const char* pluginVersionString = "0.2.0";

    int status = queryFailed;
    VersionNumber version;                   // the newer version the status speaks of
    juce::PropertySet properties { false };  // the version file's texts, for statuses 2 to 4

    // The answer for the version file's properties, the pedal's firmware (0 when
    // no pedal reported one) and the firmware image the plug-in carries. A
    // plug-in update outranks every firmware answer, and the carried image
    // outranks the online firmware.
    static VersionQuery decide (const juce::PropertySet& versionFile, VersionNumber deviceFirmware,
                                VersionNumber carriedFirmware);
};
