#include "Presets/PresetFormat.h"
#include "Presets/PresetRecord.h"
#include "Support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{
juce::var object (std::initializer_list<std::pair<const char*, juce::var>> properties)
{
    auto* result = new juce::DynamicObject();
    juce::var holder (result);
    for (const auto& [key, value] : properties)
        result->setProperty (key, value);
    return holder;
}

// Every level of the preset, by key; the keys it lacks from the expected map read as their defaults.
void expectValues (const PresetFormat& preset, const std::map<std::string, int>& expected = {})
{
    for (const auto& key : PresetFormat::presetKeys())
    {
        const auto found = expected.find (key.toString().toStdString());
        EXPECT_EQ (preset.getValue (key), found != expected.end() ? found->second : PresetFormat::defaultValue (key))
            << key.toString();
    }
}

std::vector<juce::String> keysOf (const PresetFormat& preset)
{
    std::vector<juce::String> keys;
    for (const auto& property : preset.getProperties().getDynamicObject()->getProperties())
        keys.push_back (property.name.toString());
    return keys;
}

const std::vector<juce::String> allKeys { "name", "adcLink", "adcL", "adcR", "dacLink", "dacL", "dacR", "mixWet" };
} // namespace

//==============================================================================
TEST (PresetRecord, CarriesProgramLevelsAndFlagsInSevenBits)
{
    const struct { int program; juce::var values; bool modified, bypassed; std::map<int, int> bytes; } cases[] = {
        { 0, object ({ { "adcL", 63 }, { "adcR", 63 }, { "dacL", 100 }, { "dacR", 127 } }), false, true,
          { { 18, 0x3F }, { 19, 0x3F }, { 20, 0x64 }, { 21, 0x7F }, { 22, 0x02 } } },
        { 2, juce::var(), true, false, { { 0, 0x7F }, { 18, 63 }, { 19, 63 }, { 20, 63 }, { 21, 63 }, { 22, 0x01 } } },
        { 0, object ({ { "adcL", 200 }, { "adcR", 128 }, { "dacL", -1 }, { "dacR", "300" } }), false, false,
          { { 18, 200 & 0x7F }, { 19, 0 }, { 20, 0x7F }, { 21, 300 & 0x7F }, { 22, 0 } } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.program);
        const auto record = makePresetRecord (c.program, PresetFormat (c.values, "Any"), c.modified, c.bypassed);
        for (int i = 0; i < PRESET::recordSize; ++i)
        {
            const auto expected = c.bytes.find (i);
            EXPECT_EQ (record.bytes[(size_t) i], expected != c.bytes.end() ? expected->second : 0) << i;
        }
    }
}

TEST (PresetRecord, GivesAPresetNamedFromItsSevenBitText)
{
    const struct { std::string name; const char* given; const char* expected; } cases[] = {
        { "ABCDEFGHIJKLMNOP", "", "ABCDEFGHIJKLMNOP" },
        { std::string ("ABCD\0FGH", 8), "", "ABCD" },
        { "Stored", "Given", "Given" },
        { "\x81\x89\x91\xc3\xa9", "", "\x01\x09\x11\x43\x29" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.expected);
        PRESET record;
        for (size_t i = 0; i < c.name.size(); ++i)
            record.bytes[(size_t) PRESET::nameOffset + i] = static_cast<uint8_t> (c.name[i]);
        record.bytes[18] = 10;
        record.bytes[19] = 90;
        record.bytes[20] = 20;
        record.bytes[21] = 30;

        const PresetFormat preset (record, c.given);
        EXPECT_EQ (preset.getName(), c.expected);
        EXPECT_EQ (keysOf (preset), allKeys);
        expectValues (preset, { { "adcL", 10 }, { "adcR", 90 }, { "dacL", 20 }, { "dacR", 30 } });
    }
}

//==============================================================================
// Missing keys take their defaults, other keys are ignored, values keep their type and read as ints.
TEST (PresetFromVar, TakesTheSevenLevelsAndNothingElse)
{
    const PresetFormat preset (object ({ { "adcR", 5 }, { "bypass", 0 }, { "colour", "red" }, { "adcL", 100.7 },
                                         { "dacL", "100" }, { "dacR", "abc" } }),
                               {});

    EXPECT_EQ (preset.getName(), "None");
    EXPECT_EQ (keysOf (preset), allKeys);
    EXPECT_TRUE (preset.getProperties()[PresetFormat::adcLKey()].isDouble());
    EXPECT_TRUE (preset.getProperties()[PresetFormat::dacLKey()].isString());
    expectValues (preset, { { "adcR", 5 }, { "adcL", 100 }, { "dacL", 100 }, { "dacR", 0 } });

    for (const auto& source : { juce::var ("text"), juce::var (juce::Array<juce::var> { 1, 2 }), juce::var (7) })
    {
        const PresetFormat fromNonObject (source, {});
        EXPECT_EQ (fromNonObject.getName(), "None");
        expectValues (fromNonObject);
        for (const auto& key : PresetFormat::presetKeys())
            EXPECT_TRUE (fromNonObject.getProperties()[key].isInt());
    }
}

TEST (PresetFromVar, TheSourceNameIsCopiedOnlyWithoutAGivenName)
{
    const auto source = object ({ { "name", "Stored" } });
    EXPECT_EQ (PresetFormat (source, {}).getName(), "Stored");
    EXPECT_EQ (PresetFormat (source, "Given").getName(), "Given");

    const PresetFormat numbered (object ({ { "name", 42 } }), {});
    EXPECT_TRUE (numbered.getProperties()[PresetFormat::nameKey()].isInt());
    EXPECT_EQ (numbered.getName(), "42");
}

TEST (PresetFromVar, SetPropertiesNeverAddsKeysAndCopiesAreIndependent)
{
    const PresetFormat original (juce::var(), "Start");
    PresetFormat preset (original);
    preset.setProperties (object ({ { "adcL", 1 }, { "name", "Renamed" }, { "bypass", 1 } }));
    preset.setProperties (juce::var (3));

    EXPECT_EQ (keysOf (preset), allKeys);
    EXPECT_EQ (preset.getName(), "Renamed");
    expectValues (preset, { { "adcL", 1 } });
    EXPECT_EQ (original.getName(), "Start");
    expectValues (original);
}

//==============================================================================
// Every regular *.zvk file directly inside, named after its file (cut to 15
// characters) and sorted by that name; contents that are not a JSON object
// within the limits give the defaults. A file name that is not UTF-8 (here a
// Latin-1 "à") never becomes a String: that file is skipped.
TEST (PresetFolder, ReadsEveryRegularPresetFileWithATextName)
{
    const ScratchFolder scratch;
    const std::map<std::string, std::string> files {
        { "Zeta.zvk", "{}" },
        { "alpha.zvk", R"({"adcL":100,"name":"X","bypass":0})" },
        { "ABCDEFGHIJKLMNOPQRST.zvk", R"({"dacR":7})" },
        { "Marked.zvk", "\xef\xbb\xbf{\"dacR\":7}" },
        { "Broken.zvk", R"({"adcL":100,)" },
        { "List.zvk", "[1, 2, 3]" },
        { "Empty.zvk", "" },
        { "Latin.zvk", "{\"adcL\":5}\xff" },
        { "Nested.zvk", std::string (100000, '[') },
        { "Huge.zvk", "{\"adcL\":5}" + std::string (2 << 20, ' ') },
        { "Caf\xe0.zvk", "{}" },
        { "notes.txt", "{}" },
        { "Inner/Deep.zvk", "{}" },
        { "Folder.zvk/inner", "{}" },
    };
    for (const auto& [name, text] : files)
        scratch.write (name, text);
    ASSERT_EQ (mkfifo ((scratch.path() + "Piped.zvk").toRawUTF8(), 0600), 0);

    juce::OwnedArray<PresetFormat> presets;
    presets.add (new PresetFormat (juce::var(), "Stale"));
    PresetFormat::loadUserPresets (scratch.folder, presets);

    const std::vector<std::pair<const char*, std::map<std::string, int>>> expected {
        { "ABCDEFGHIJKLMNO", { { "dacR", 7 } } }, { "alpha", { { "adcL", 100 } } }, { "Broken", {} }, { "Empty", {} },
        { "Huge", {} }, { "Latin", {} }, { "List", {} }, { "Marked", { { "dacR", 7 } } }, { "Nested", {} }, { "Zeta", {} },
    };

    ASSERT_EQ (presets.size(), (int) expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        SCOPED_TRACE (expected[i].first);
        EXPECT_EQ (presets[(int) i]->getName(), expected[i].first);
        EXPECT_EQ (keysOf (*presets[(int) i]), allKeys);
        expectValues (*presets[(int) i], expected[i].second);
    }

    PresetFormat::loadUserPresets (scratch.folder.getChildFile ("absent"), presets);
    EXPECT_TRUE (presets.isEmpty());
}

//==============================================================================
TEST (PresetFileText, ReadsJsonNumbersOfEveryKind)
{
    const auto preset = PresetFormat::fromFileText (
        R"({"adcL": 1e308, "adcR": -123456789012345678, "dacL": "100", "dacR": true, "mixWet": 12.5, "adcLink": null})",
        "Numbers");

    expectValues (preset, { { "adcL", std::numeric_limits<int>::max() }, { "adcR", std::numeric_limits<int>::min() },
                            { "dacL", 100 }, { "dacR", 1 }, { "mixWet", 12 }, { "adcLink", 0 } });
}

TEST (PresetFileText, ReadsNestingUpToItsLimitAndGivesTheDefaultsBeyond)
{
    const auto nestedIn = [] (int depth)
    {
        return R"({"adcL": 5, "x": )" + juce::String::repeatedString ("[", depth - 1)
               + juce::String::repeatedString ("]", depth - 1) + "}";
    };

    EXPECT_EQ (PresetFormat::fromFileText (nestedIn (PresetFormat::maximumNesting), "Deep").getValue ("adcL"), 5);
    EXPECT_EQ (PresetFormat::fromFileText (nestedIn (PresetFormat::maximumNesting + 1), "Deeper").getValue ("adcL"), 63);
}
