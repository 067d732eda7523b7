#include "Updates/VersionQuery.h"

#include <gtest/gtest.h>

namespace
{
struct TextCase
{
    const char* text;
    juce::uint32 number;
};

const TextCase textCases[] = {
    { "1.2.3", 0x010203 },
    { "0.2.0", 0x000200 },
    { "255.255.255", 0xFFFFFF },
    { "1.2", 0 },
    { "1.2.3.4", 0 },
    { "", 0 },
    { "..", 0 },
    { "1.2.", 0x010200 },
    { ".1.", 0x000100 },
    { "256.1.1", 0x000101 },
    { "-1.0.0", 0xFF0000 },
    { "-300.0.0", 0xD40000 },
    { "1a.2.3", 0x010203 },
    { " \t1. +2.\n3", 0x010203 },
    { "+-1.2.3", 0x000203 },
    { "x.y.z", 0 },
    // Far past every integer type: read modulo 256, never overflowing.
    { "99999999999999999999.4294967296.4294967297", 0xFF0001 },
    { "1\xc3\xa9.2.3", 0x010203 },
};

TEST (VersionNumber, ReadsTextsAsThreeWrappedPartsAndEverythingElseAsZero)
{
    for (const auto& c : textCases)
        EXPECT_EQ ((juce::uint32) VersionNumber::versionNumberFromString (juce::String::fromUTF8 (c.text)), c.number)
            << "\"" << c.text << "\"";
}

TEST (VersionNumber, WritesTheLow24BitsAsThreeNumbers)
{
    const std::pair<unsigned int, const char*> cases[] = {
        { 0x000105, "0.1.5" }, { 0x010203, "1.2.3" }, { 0, "0.0.0" }, { 0xFFFFFFFF, "255.255.255" }, { 0x7F000200, "0.2.0" }
    };

    for (const auto& [number, text] : cases)
    {
        EXPECT_EQ (VersionNumber::versionStringFromNumber (number), text);
        EXPECT_EQ (versionToString ((int) number), text);
        EXPECT_EQ ((juce::uint32) VersionNumber::versionNumberFromString (text), number & 0xFFFFFF);
    }
}

//==============================================================================
struct DecisionCase
{
    const char* what;
    std::vector<std::pair<const char*, const char*>> file;
    juce::uint32 device, carried;
    int status;
    juce::uint32 version;
};

const juce::uint32 carried = 0x000105;

const DecisionCase decisionCases[] = {
    { "no version file", {}, 0, carried, VersionQuery::queryFailed, 0 },
    { "only the own version, no pedal", { { "pluginVersion", "0.2.0" } }, 0, carried, VersionQuery::queryUpToDate, 0 },
    { "an older plug-in online", { { "pluginVersion", "0.1.9" } }, 0, carried, VersionQuery::queryUpToDate, 0 },
    { "a newer plug-in outranks the firmware", { { "pluginVersion", "0.2.1" }, { "firmwareVersion", "9.9.9" } }, 0x000100, carried, VersionQuery::queryPluginAvailable, 0x000201 },
    { "the carried image is newer than the pedal", { { "pluginVersion", "0.2.0" }, { "firmwareVersion", "0.1.7" } }, 0x000100, carried, VersionQuery::queryFirmwareRequired, 0x000105 },
    { "the online firmware is newer than the pedal", { { "pluginVersion", "0.2.0" }, { "firmwareVersion", "0.1.7" } }, 0x000105, carried, VersionQuery::queryFirmwareAvailable, 0x000107 },
    { "the pedal is current", { { "pluginVersion", "0.2.0" }, { "firmwareVersion", "0.1.5" } }, 0x000105, carried, VersionQuery::queryUpToDate, 0 },
    { "the pedal is newer than both", { { "pluginVersion", "0.2.0" }, { "firmwareVersion", "0.1.5" } }, 0x000200, carried, VersionQuery::queryUpToDate, 0 },
    { "firmware is not compared without a pedal", { { "pluginVersion", "0.2.0" }, { "firmwareVersion", "9.0.0" } }, 0, carried, VersionQuery::queryUpToDate, 0 },
    { "no firmware key gives online firmware 0", { { "pluginVersion", "0.2.0" } }, 0x000105, carried, VersionQuery::queryUpToDate, 0 },
    { "a damaged carried image (version 0) is never offered", { { "pluginVersion", "0.2.0" } }, 0x000100, 0, VersionQuery::queryUpToDate, 0 },
    { "an unreadable plug-in version with a firmware answer", { { "pluginVersion", "new" }, { "firmwareVersion", "0.1.7" } }, 0x000105, carried, VersionQuery::queryFirmwareAvailable, 0x000107 },
    { "an unreadable plug-in version and nothing else", { { "pluginVersion", "new" } }, 0x000105, carried, VersionQuery::queryFailed, 0 },
    { "keys match with case", { { "PluginVersion", "0.3.0" } }, 0, carried, VersionQuery::queryFailed, 0 },
};

TEST (VersionQuery, DecidesByThePluginThenTheCarriedThenTheOnlineFirmware)
{
    for (const auto& c : decisionCases)
    {
        SCOPED_TRACE (c.what);
        juce::PropertySet file (false);
        for (const auto& [key, value] : c.file)
            file.setValue (key, value);
        file.setValue ("firmwareURL", "https://assets.example.com/fw.zip");

        auto answer = VersionQuery::decide (file, VersionNumber (c.device), VersionNumber (c.carried));
        EXPECT_EQ (answer.status, c.status);
        EXPECT_EQ ((juce::uint32) answer.version, c.version);

        // Statuses 2 to 4 carry the version file's texts; the others carry none.
        const bool carriesFile = c.status >= VersionQuery::queryFirmwareRequired;
        EXPECT_EQ (answer.properties.getValue ("firmwareURL").isNotEmpty(), carriesFile);
        EXPECT_EQ (answer.properties.getAllProperties().size(), carriesFile ? (int) c.file.size() + 1 : 0);
    }
}
} // namespace
