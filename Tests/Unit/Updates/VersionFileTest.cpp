#include "Updates/VersionFile.h"
#include "Utilities/InputLimits.h"

#include <gtest/gtest.h>
#include <string>

namespace
{
struct FileCase
{
    const char* what;
    std::string bytes;
    bool readable;
    std::vector<std::pair<const char*, const char*>> kept;
};

std::string padded (size_t size)
{
    std::string text = "{\"pluginVersion\": \"0.2.0\"}";
    text.resize (size, ' ');
    return text;
}

const FileCase fileCases[] = {
    { "every string kept under its name", R"({"pluginVersion":"0.2.1","firmwareVersion":"0.1.7","firmwareURL":"https://a/b.zip","pluginInfoURL":"https://a/","other":"x"})", true,
      { { "pluginVersion", "0.2.1" }, { "firmwareVersion", "0.1.7" }, { "firmwareURL", "https://a/b.zip" }, { "pluginInfoURL", "https://a/" }, { "other", "x" } } },
    { "numbers, booleans, null, arrays and objects skipped", R"({"pluginVersion":2,"a":true,"b":null,"c":[1],"d":{"e":"f"},"firmwareVersion":"0.1.7"})", true,
      { { "firmwareVersion", "0.1.7" } } },
    { "names keep their case", R"({"PluginVersion":"0.3.0"})", true, { { "PluginVersion", "0.3.0" } } },
    { "an empty object", "{}", true, {} },
    { "a root array", R"([{"pluginVersion":"0.2.0"}])", false, {} },
    { "a root string", R"("0.2.0")", false, {} },
    { "an empty body", "", false, {} },
    { "malformed", R"({"pluginVersion":"0.2.0")", false, {} },
    { "an HTML error page", "<html><body>Not Found</body></html>", false, {} },
    { "broken UTF-8", "{\"pluginVersion\":\"0.2\xc0\x80\"}", false, {} },
    { "a zero byte", std::string ("{\"a\":\"b\"}\0", 10), false, {} },
    { "nesting beyond the reader's limit", std::string (5000, '[') + std::string (5000, ']'), false, {} },
    { "nesting at its limit", "{\"pluginVersion\":\"0.2.0\",\"x\":" + std::string (InputLimits::versionFileNesting - 1, '[')
                                 + std::string (InputLimits::versionFileNesting - 1, ']') + "}", true, { { "pluginVersion", "0.2.0" } } },
    { "nesting one beyond its limit", "{\"pluginVersion\":\"0.2.0\",\"x\":" + std::string (InputLimits::versionFileNesting, '[')
                                      + std::string (InputLimits::versionFileNesting, ']') + "}", false, {} },
    { "a number beyond 64 bits", R"({"pluginVersion":"0.2.0","n":123456789012345678901234567890})", false, {} },
    { "exactly at the size limit", padded (InputLimits::versionFileBytes), true, { { "pluginVersion", "0.2.0" } } },
    { "one byte over the size limit", padded (InputLimits::versionFileBytes + 1), false, {} },
};

TEST (VersionFile, KeepsTheStringPropertiesOfARootObjectAndRefusesEverythingElse)
{
    for (const auto& c : fileCases)
    {
        SCOPED_TRACE (c.what);
        juce::PropertySet into (false);
        into.setValue ("stale", "value");

        EXPECT_EQ (VersionFile::read (c.bytes.data(), c.bytes.size(), into), c.readable);
        EXPECT_EQ (into.getAllProperties().size(), (int) c.kept.size());

        for (const auto& [key, value] : c.kept)
            EXPECT_EQ (into.getValue (key), juce::String::fromUTF8 (value)) << key;
    }
}
} // namespace
