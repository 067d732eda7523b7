#include "Presets/PresetFormat.h"
#include "Presets/PresetRecord.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
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

PRESET recordWithName (const char* name)
{
    PRESET record;
    for (int i = 0; name[i] != 0 && i < PRESET::nameLength; ++i)
        record.bytes[(size_t) (PRESET::nameOffset + i)] = static_cast<uint8_t> (name[i]);
    return record;
}

void expectDefaults (const PresetFormat& preset)
{
    for (const auto& key : PresetFormat::presetKeys())
    {
        EXPECT_TRUE (preset.getProperties()[key].isInt()) << key.toString();
        EXPECT_EQ (preset.getValue (key), PresetFormat::defaultValue (key)) << key.toString();
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

// A fresh folder under the system's temporary folder, removed afterwards.
class PresetFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const juce::File temporary (juce::SystemStats::getEnvironmentVariable ("TMPDIR", "/tmp"));
        // Unique across the test programs that run side by side.
        folder = temporary.getChildFile ("PellionPresetTest-" + juce::Uuid().toString());
        ASSERT_TRUE (folder.createDirectory());
    }

    void TearDown() override { folder.deleteRecursively(); }

    void write (const juce::String& fileName, const juce::String& text) const
    {
        ASSERT_TRUE (folder.getChildFile (fileName).replaceWithText (text, false, false, nullptr));
    }

    juce::OwnedArray<PresetFormat> load() const
    {
        juce::OwnedArray<PresetFormat> presets;
        PresetFormat::loadUserPresets (folder, presets);
        return presets;
    }

    juce::File folder;
};
} // namespace

//==============================================================================
TEST (PresetRecord, ProgramZeroBypassed)
{
    const PresetFormat values (object ({ { "adcL", 63 }, { "adcR", 63 }, { "dacL", 100 }, { "dacR", 127 } }), "Any");
    const auto record = makePresetRecord (0, values, false, true);

    std::array<uint8_t, PRESET::recordSize> expected {};
    expected[18] = 0x3F;
    expected[19] = 0x3F;
    expected[20] = 0x64;
    expected[21] = 0x7F;
    expected[22] = 0x02;
    EXPECT_EQ (record.bytes, expected);
}

TEST (PresetRecord, OtherProgramModified)
{
    const PresetFormat values (juce::var(), "Any");
    const auto record = makePresetRecord (2, values, true, false);

    EXPECT_EQ (record.bytes[0], 0x7F);
    EXPECT_EQ (record.bytes[22], 0x01);
    for (int i = 1; i <= 17; ++i)
        EXPECT_EQ (record.bytes[(size_t) i], 0) << i;
    EXPECT_EQ (record.bytes[18], 63);
}

TEST (PresetRecord, LevelsKeepSevenBits)
{
    const PresetFormat values (object ({ { "adcL", 200 }, { "adcR", 128 }, { "dacL", -1 }, { "dacR", "300" } }), "Any");
    const auto record = makePresetRecord (0, values, false, false);

    EXPECT_EQ (record.bytes[18], 200 & 0x7F);
    EXPECT_EQ (record.bytes[19], 0);
    EXPECT_EQ (record.bytes[20], 0x7F);
    EXPECT_EQ (record.bytes[21], 300 & 0x7F);
    EXPECT_EQ (record.bytes[22], 0);
}

TEST (PresetRecord, FullLengthName)
{
    const PresetFormat preset (recordWithName ("ABCDEFGHIJKLMNOP"), {});
    EXPECT_EQ (preset.getName(), "ABCDEFGHIJKLMNOP");
}

TEST (PresetRecord, NameEndsAtZero)
{
    auto record = recordWithName ("ABCDEFGHIJKLMNOP");
    record.bytes[5] = 0;
    EXPECT_EQ (PresetFormat (record, {}).getName(), "ABCD");
}

TEST (PresetRecord, LevelsFromRecord)
{
    auto record = recordWithName ("Live");
    record.bytes[18] = 10;
    record.bytes[19] = 90;
    record.bytes[20] = 20;
    record.bytes[21] = 30;
    const PresetFormat preset (record, {});

    EXPECT_EQ (preset.getValue (PresetFormat::adcLKey()), 10);
    EXPECT_EQ (preset.getValue (PresetFormat::adcRKey()), 90);
    EXPECT_EQ (preset.getValue (PresetFormat::dacLKey()), 20);
    EXPECT_EQ (preset.getValue (PresetFormat::dacRKey()), 30);
    EXPECT_EQ (preset.getValue (PresetFormat::adcLinkKey()), 1);
    EXPECT_EQ (preset.getValue (PresetFormat::dacLinkKey()), 1);
    EXPECT_EQ (preset.getValue (PresetFormat::mixWetKey()), 63);
    EXPECT_EQ (keysOf (preset), allKeys);
}

TEST (PresetRecord, GivenNameWins)
{
    EXPECT_EQ (PresetFormat (recordWithName ("Stored"), "Given").getName(), "Given");
}

TEST (PresetRecord, HostileNameBytesGiveValidText)
{
    PRESET record;
    for (int i = 0; i < PRESET::nameLength; ++i)
        record.bytes[(size_t) (PRESET::nameOffset + i)] = static_cast<uint8_t> (0x81 + i * 8);

    const auto name = PresetFormat (record, {}).getName();
    const auto utf8 = name.toStdString();

    EXPECT_EQ (name.length(), PRESET::nameLength);
    EXPECT_TRUE (juce::CharPointer_UTF8::isValidString (utf8.c_str(), (int) utf8.size()));
    for (const auto c : utf8)
        EXPECT_LT (static_cast<unsigned char> (c), 0x80);
}

//==============================================================================
TEST (PresetFromVar, MissingKeysDefault)
{
    const PresetFormat preset (object ({ { "adcR", 5 } }), {});

    EXPECT_EQ (preset.getName(), "None");
    EXPECT_EQ (keysOf (preset), allKeys);
    EXPECT_EQ (preset.getValue (PresetFormat::adcRKey()), 5);
    EXPECT_EQ (preset.getValue (PresetFormat::adcLKey()), 63);
    EXPECT_EQ (preset.getValue (PresetFormat::adcLinkKey()), 1);
    EXPECT_EQ (preset.getValue (PresetFormat::mixWetKey()), 63);
}

TEST (PresetFromVar, NonObjectSourceGivesDefaults)
{
    expectDefaults (PresetFormat (juce::var ("text"), {}));
    expectDefaults (PresetFormat (juce::var (juce::Array<juce::var> { 1, 2 }), "List"));
    EXPECT_EQ (PresetFormat (juce::var (7), {}).getName(), "None");
}

TEST (PresetFromVar, ExtraKeysIgnored)
{
    const PresetFormat preset (object ({ { "bypass", 0 }, { "dacL", 12 }, { "colour", "red" } }), "Extra");
    EXPECT_EQ (keysOf (preset), allKeys);
    EXPECT_EQ (preset.getValue (PresetFormat::dacLKey()), 12);
}

TEST (PresetFromVar, SourceNameOnlyWithoutGivenName)
{
    const auto source = object ({ { "name", "Stored" } });
    EXPECT_EQ (PresetFormat (source, {}).getName(), "Stored");
    EXPECT_EQ (PresetFormat (source, "Given").getName(), "Given");

    // Copied unchanged, whatever its type.
    const PresetFormat numbered (object ({ { "name", 42 } }), {});
    EXPECT_TRUE (numbered.getProperties()[PresetFormat::nameKey()].isInt());
    EXPECT_EQ (numbered.getName(), "42");
}

TEST (PresetFromVar, KeepsTheSourceType)
{
    const PresetFormat preset (object ({ { "adcL", 100.7 }, { "adcR", "100" }, { "dacL", "abc" } }), {});

    EXPECT_TRUE (preset.getProperties()[PresetFormat::adcLKey()].isDouble());
    EXPECT_EQ (preset.getValue (PresetFormat::adcLKey()), 100);
    EXPECT_TRUE (preset.getProperties()[PresetFormat::adcRKey()].isString());
    EXPECT_EQ (preset.getValue (PresetFormat::adcRKey()), 100);
    EXPECT_EQ (preset.getValue (PresetFormat::dacLKey()), 0);
}

TEST (PresetFromVar, AnyValueReadsAsInt)
{
    constexpr auto biggest = std::numeric_limits<int>::max();
    constexpr auto smallest = std::numeric_limits<int>::min();

    EXPECT_EQ (PresetFormat::toInt (std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ (PresetFormat::toInt (std::numeric_limits<double>::infinity()), biggest);
    EXPECT_EQ (PresetFormat::toInt (-std::numeric_limits<double>::infinity()), smallest);
    EXPECT_EQ (PresetFormat::toInt (1e300), biggest);
    EXPECT_EQ (PresetFormat::toInt (-1e300), smallest);
    EXPECT_EQ (PresetFormat::toInt (-0.9), 0);
    EXPECT_EQ (PresetFormat::toInt ((juce::int64) 1 << 40), biggest);
    EXPECT_EQ (PresetFormat::toInt (-((juce::int64) 1 << 40)), smallest);
    EXPECT_EQ (PresetFormat::toInt (" -17x"), -17);
    EXPECT_EQ (PresetFormat::toInt ("99999999999999999999999"), biggest);
    EXPECT_EQ (PresetFormat::toInt ("-2147483648"), smallest);
    EXPECT_EQ (PresetFormat::toInt ("-99999999999999999999999"), smallest);
    EXPECT_EQ (PresetFormat::toInt ("12.9"), 12);
    EXPECT_EQ (PresetFormat::toInt (true), 1);
    EXPECT_EQ (PresetFormat::toInt (juce::var()), 0);
    EXPECT_EQ (PresetFormat::toInt (juce::var (juce::Array<juce::var> { 5 })), 0);
    EXPECT_EQ (PresetFormat::toInt (object ({ { "adcL", 5 } })), 0);
}

TEST (PresetFromVar, SetPropertiesNeverAddsKeys)
{
    PresetFormat preset (juce::var(), "Start");
    preset.setProperties (object ({ { "adcL", 1 }, { "name", "Renamed" }, { "bypass", 1 } }));

    EXPECT_EQ (keysOf (preset), allKeys);
    EXPECT_EQ (preset.getName(), "Renamed");
    EXPECT_EQ (preset.getValue (PresetFormat::adcLKey()), 1);
    EXPECT_EQ (preset.getValue (PresetFormat::adcRKey()), 63);

    preset.setProperties (juce::var (3));
    EXPECT_EQ (preset.getValue (PresetFormat::adcLKey()), 1);
}

TEST (PresetFromVar, CopiesAreIndependent)
{
    const PresetFormat original (juce::var(), "Original");
    PresetFormat copy (original);
    copy.setProperties (object ({ { "adcL", 3 } }));

    EXPECT_EQ (original.getValue (PresetFormat::adcLKey()), 63);
    EXPECT_EQ (copy.getValue (PresetFormat::adcLKey()), 3);
}

//==============================================================================
TEST (PresetComparator, IgnoresCase)
{
    const PresetFormat upperA (juce::var(), "Alpha");
    const PresetFormat lowerB (juce::var(), "beta");
    const PresetFormat shouting (juce::var(), "ALPHA");
    const PresetFormat longer (juce::var(), "alphabet");

    EXPECT_EQ (PresetFormatElementComparator::compareElements (&lowerB, &upperA), 1);
    EXPECT_EQ (PresetFormatElementComparator::compareElements (&upperA, &lowerB), -1);
    EXPECT_EQ (PresetFormatElementComparator::compareElements (&upperA, &shouting), 0);
    EXPECT_EQ (PresetFormatElementComparator::compareElements (&shouting, &longer), -1);
}

//==============================================================================
TEST_F (PresetFolder, SortedByName)
{
    write ("Zeta.zvk", "{}");
    write ("alpha.zvk", "{}");
    write ("Beta.zvk", "{}");
    write ("notes.txt", "{}");

    const auto presets = load();
    ASSERT_EQ (presets.size(), 3);
    EXPECT_EQ (presets[0]->getName(), "alpha");
    EXPECT_EQ (presets[1]->getName(), "Beta");
    EXPECT_EQ (presets[2]->getName(), "Zeta");
}

TEST_F (PresetFolder, LongNamesCut)
{
    write ("ABCDEFGHIJKLMNOPQRST.zvk", "{}");

    const auto presets = load();
    ASSERT_EQ (presets.size(), 1);
    EXPECT_EQ (presets[0]->getName(), "ABCDEFGHIJKLMNO");
}

TEST_F (PresetFolder, FileNameWinsOverStoredName)
{
    write ("Gamma.zvk", R"({"adcL":100,"name":"X","bypass":0})");

    const auto presets = load();
    ASSERT_EQ (presets.size(), 1);
    EXPECT_EQ (presets[0]->getName(), "Gamma");
    EXPECT_EQ (presets[0]->getValue (PresetFormat::adcLKey()), 100);
    EXPECT_EQ (presets[0]->getValue (PresetFormat::adcRKey()), 63);
    EXPECT_EQ (presets[0]->getValue (PresetFormat::dacLinkKey()), 1);
    EXPECT_EQ (keysOf (*presets[0]), allKeys);
}

TEST_F (PresetFolder, UnusableContentsGiveDefaults)
{
    write ("Broken.zvk", R"({"adcL":100,)");
    write ("List.zvk", "[1, 2, 3]");
    write ("Empty.zvk", "");
    write ("Latin.zvk", juce::String::fromUTF8 ("{\"adcL\":5}"));
    ASSERT_TRUE (folder.getChildFile ("Latin.zvk").appendData ("\xff", 1));

    const auto presets = load();
    ASSERT_EQ (presets.size(), 4);
    for (auto* preset : presets)
        expectDefaults (*preset);
}

TEST_F (PresetFolder, ByteOrderMarkAccepted)
{
    ASSERT_TRUE (folder.getChildFile ("Marked.zvk").replaceWithData ("\xef\xbb\xbf{\"dacR\":7}", 13));

    const auto presets = load();
    ASSERT_EQ (presets.size(), 1);
    EXPECT_EQ (presets[0]->getValue (PresetFormat::dacRKey()), 7);
}

TEST_F (PresetFolder, MissingFolderGivesNothing)
{
    juce::OwnedArray<PresetFormat> presets;
    presets.add (new PresetFormat (juce::var(), "Stale"));

    PresetFormat::loadUserPresets (folder.getChildFile ("absent"), presets);
    EXPECT_TRUE (presets.isEmpty());
}

TEST_F (PresetFolder, SubfoldersIgnored)
{
    write ("Top.zvk", "{}");
    ASSERT_TRUE (folder.getChildFile ("Inner").createDirectory());
    write ("Inner/Deep.zvk", "{}");
    ASSERT_TRUE (folder.getChildFile ("Folder.zvk").createDirectory());

    const auto presets = load();
    ASSERT_EQ (presets.size(), 1);
    EXPECT_EQ (presets[0]->getName(), "Top");
}

TEST_F (PresetFolder, HostileFilesGiveDefaults)
{
    write ("Nested.zvk", juce::String::repeatedString ("[", 100000));
    write ("Objects.zvk", juce::String::repeatedString ("{\"adcL\":", 100000));

    // Valid JSON, but too large to be read.
    write ("Huge.zvk", "{\"adcL\":5}" + juce::String::repeatedString (" ", 2 << 20));

    const auto presets = load();
    ASSERT_EQ (presets.size(), 3);
    for (auto* preset : presets)
        expectDefaults (*preset);
}

//==============================================================================
TEST (PresetFileText, RefusesWhatTheParserCannotTake)
{
    EXPECT_TRUE (PresetFormat::isSafeToParse (R"({"adcL": -12, "adcR": 1.5e-3, "x": [[{}]]})"));
    EXPECT_TRUE (PresetFormat::isSafeToParse ("[0." + juce::String::repeatedString ("9", 400) + "]"));
    EXPECT_TRUE (PresetFormat::isSafeToParse ("[\"" + juce::String::repeatedString ("[{", 200) + "\\\"\"]"));
    EXPECT_TRUE (PresetFormat::isSafeToParse (juce::String::repeatedString ("[", 64)));

    EXPECT_FALSE (PresetFormat::isSafeToParse (juce::String::repeatedString ("[", 65)));
    EXPECT_FALSE (PresetFormat::isSafeToParse ("[-"));
    EXPECT_FALSE (PresetFormat::isSafeToParse ("[- 1]"));
    EXPECT_FALSE (PresetFormat::isSafeToParse ("[1234567890123456789]"));
    EXPECT_FALSE (PresetFormat::isSafeToParse ("[1e1234567890]"));
    EXPECT_FALSE (PresetFormat::isSafeToParse ("[\"open"));
    EXPECT_FALSE (PresetFormat::isSafeToParse ("[\"\\"));
    EXPECT_FALSE (PresetFormat::isSafeToParse ("]["));
}

TEST (PresetFileText, ReadsNumbersOfEveryKind)
{
    const auto preset = PresetFormat::fromFileText (
        R"({"adcL": 1e308, "adcR": -123456789012345678, "dacL": "100", "dacR": true, "mixWet": 12.5, "adcLink": null})",
        "Numbers");

    EXPECT_EQ (preset.getValue (PresetFormat::adcLKey()), std::numeric_limits<int>::max());
    EXPECT_EQ (preset.getValue (PresetFormat::adcRKey()), std::numeric_limits<int>::min());
    EXPECT_EQ (preset.getValue (PresetFormat::dacLKey()), 100);
    EXPECT_EQ (preset.getValue (PresetFormat::dacRKey()), 1);
    EXPECT_EQ (preset.getValue (PresetFormat::mixWetKey()), 12);
    EXPECT_EQ (preset.getValue (PresetFormat::adcLinkKey()), 0);
    EXPECT_EQ (preset.getValue (PresetFormat::dacLinkKey()), 1);
}

TEST (PresetFileText, UnterminatedBytesAreSafe)
{
    // A truncated multi-byte sequence right at the end of the buffer.
    const std::string bytes = "{\"adcL\":\"\xe2\x82";
    expectDefaults (PresetFormat::fromFileData (bytes.data(), bytes.size(), "Cut"));
    expectDefaults (PresetFormat::fromFileData (nullptr, 0, "Nothing"));
}
