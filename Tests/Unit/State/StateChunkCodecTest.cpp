#include "State/StateChunk.h"
#include "Support/AssertionCounter.h"
#include "Support/StateChunks.h"

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
using StateChunk::Decoded;
using namespace StateChunks;

std::string bytesOf (const juce::MemoryBlock& block)
{
    return { static_cast<const char*> (block.getData()), block.getSize() };
}

std::optional<Decoded> decode (const std::string& bytes)
{
    return StateChunk::decode (bytes.data(), bytes.size());
}

std::optional<Decoded> decodeBody (const std::string& body)
{
    return decode (frame (document (body)));
}

StateChunk::Contents sampleContents()
{
    StateChunk::Contents contents { "Pellion", "0.2.0", { { "adcL", 5 }, { "bypass", 0 } }, { "A&B \"1\"", 3, true },
                                    StateChunk::Device { "QZR-1A2B", Mode::pedalboard, ChannelSetting::monoRight, PedalModeConfig::out } };
    return contents;
}
} // namespace

//==============================================================================
TEST (StateChunkCodec, EncodesTheFrameworksWrappingOfOneLineOfXml)
{
    const auto contents = sampleContents();
    const auto bytes = bytesOf (StateChunk::encode (contents));

    EXPECT_EQ (bytes, frame (document ("<PARAM id=\"adcL\" value=\"5\"/><PARAM id=\"bypass\" value=\"0\"/>"
                                       "<PRESET name=\"A&amp;B &quot;1&quot;\" program=\"3\" modified=\"1\"/>"
                                       "<DEVICE name=\"QZR-1A2B\" mode=\"3\" channelSetting=\"1\" pedalboardMode=\"1\"/>")));

    // The same bytes the framework's own writer gives for that document.
    const auto xml = juce::parseXML (juce::String::fromUTF8 (bytes.data() + 8, (int) bytes.size() - 9));
    ASSERT_NE (xml, nullptr);
    juce::MemoryBlock framework;
    juce::AudioProcessor::copyXmlToBinary (*xml, framework);
    EXPECT_EQ (bytesOf (framework), bytes);

    const auto decoded = decode (bytes);
    ASSERT_TRUE (decoded.has_value());
    EXPECT_EQ (decoded->rootTag, "Pellion");
    EXPECT_EQ (decoded->presetValues.getValue ("adcL"), 5);
    EXPECT_FALSE (decoded->bypass);
    EXPECT_EQ (decoded->program, contents.program);
    EXPECT_EQ (decoded->device, contents.device);
}

TEST (StateChunkCodec, OnlyAFramedDocumentWithinItsLimitsDecodes)
{
    const auto text = document (preset ("Default", "0", "1"));
    const auto cut = text.substr (0, text.size() - 3);

    const struct { const char* what; std::string bytes; bool decodes; } cases[] = {
        { "the framework's layout", frame (text), true },
        { "no terminating zero", frame (text, -1, false), true },
        { "a length past the data is cut to it", frame (text, 0x7FFFFFFF), true },
        { "the text ends at a zero byte", frame (text + std::string (1, '\0') + "garbage"), true },
        { "no declaration", frame ("<Pellion/>"), true },
        { "eight bytes", frame ("").substr (0, 8), false },
        { "another magic", "VC3!" + frame (text).substr (4), false },
        { "a length of 0", frame (text, 0), false },
        { "a negative length", frame (text, 0x80000000LL), false },
        { "a length of -1", frame (text, 0xFFFFFFFFLL), false },
        { "a length shorter than the text", frame (text, 20), false },
        { "an unfinished document", frame (cut, 0x7FFFFFFF), false },
        { "a zero byte inside the document", frame (text.substr (0, 50) + std::string (1, '\0') + text.substr (50)), false },
        { "a document type", frame ("<!DOCTYPE Pellion [<!ENTITY a \"b\">]><Pellion/>"), false },
        { "an entity named in 8-bit text", frame (document (preset ("a&\xE9;b", "0", "0"))), false },
        { "an entity named in broken UTF-8", frame (document (preset ("a&#\xCB\xD3;b", "0", "0"))), false },
        { "larger than any state", frame (document (std::string (StateChunk::maximumBytes, ' '))), false },
    };

    AssertionCounter assertions;

    for (const auto& c : cases)
        EXPECT_EQ (decode (c.bytes).has_value(), c.decodes) << c.what;

    EXPECT_EQ (assertions.count, 0);
}

//==============================================================================
TEST (StateChunkCodec, ADeviceIsKeptOnlyWithAPedalsNameAndAUseThatExists)
{
    const struct { const char* element; std::optional<StateChunk::Device> device; } cases[] = {
        { "name=\"QZR-1A2B\" mode=\"3\" channelSetting=\"1\" pedalboardMode=\"0\"", StateChunk::Device { "QZR-1A2B", Mode::pedalboard, ChannelSetting::monoRight, PedalModeConfig::in } },
        { "name=\"QZR-FFFF\" mode=\"1\" channelSetting=\"0\" pedalboardMode=\"-1\"", StateChunk::Device { "QZR-FFFF", Mode::control, ChannelSetting::monoLeft, PedalModeConfig::none } },
        { "name=\"QZR-0000\" mode=\"2\" channelSetting=\"2\" pedalboardMode=\"1\"", StateChunk::Device { "QZR-0000", Mode::audio, ChannelSetting::stereo, PedalModeConfig::out } },
        { "name=\"../x\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"", std::nullopt },
        { "name=\"QZR-1a2b\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"", std::nullopt },
        { "name=\"QZR-1A2B0\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"", std::nullopt },
        { "name=\"\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"", std::nullopt },
        { "mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-1\"", std::nullopt },
        { "name=\"QZR-1A2B\" mode=\"0\" channelSetting=\"1\" pedalboardMode=\"-1\"", std::nullopt },
        { "name=\"QZR-1A2B\" mode=\"4\" channelSetting=\"1\" pedalboardMode=\"-1\"", std::nullopt },
        { "name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"3\" pedalboardMode=\"-1\"", std::nullopt },
        { "name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"-1\" pedalboardMode=\"-1\"", std::nullopt },
        { "name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"2\"", std::nullopt },
        { "name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"1\" pedalboardMode=\"-2\"", std::nullopt },
        { "name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"1\"", std::nullopt },
        { "name=\"QZR-1A2B\" mode=\"4294967298\" channelSetting=\"1\" pedalboardMode=\"-1\"", std::nullopt },
    };

    for (const auto& c : cases)
    {
        const auto decoded = decodeBody (std::string ("<DEVICE ") + c.element + "/>");
        ASSERT_TRUE (decoded.has_value()) << c.element;
        EXPECT_EQ (decoded->device, c.device) << c.element;
    }

    // Only the first one counts.
    const auto twice = decodeBody ("<DEVICE name=\"QZR-1A2B\" mode=\"7\" channelSetting=\"1\" pedalboardMode=\"0\"/>"
                                   "<DEVICE name=\"QZR-FFFF\" mode=\"1\" channelSetting=\"0\" pedalboardMode=\"-1\"/>");
    EXPECT_EQ (twice->device, std::nullopt);
}

TEST (StateChunkCodec, APresetsFlagReadsAsTheValueTreeReadsBooleans)
{
    const struct { const char* text; bool modified; } cases[] = {
        { "1", true }, { "2", true }, { "-1", true }, { " 7", true }, { "true", true }, { "TRUE", true },
        { " yes ", true }, { "99999999999", true }, { "0", false }, { "", false }, { "false", false },
        { "t", false }, { "on", false }, { "x1", false },
    };

    for (const auto& c : cases)
    {
        const auto decoded = decodeBody (preset ("Default", "0", c.text) + "<PARAM id=\"bypass\" value=\"" + c.text + "\"/>");
        ASSERT_TRUE (decoded.has_value() && decoded->program.has_value()) << c.text;
        EXPECT_EQ (decoded->program->modified, c.modified) << c.text;
        EXPECT_EQ (decoded->bypass, c.modified) << c.text;
    }
}

TEST (StateChunkCodec, StoredValuesAreReadSafelyTheLastOfAnIdWinning)
{
    const auto decoded = decodeBody ("<PARAM id=\"adcL\" value=\"5\"/><PARAM id=\"adcL\" value=\"6\"/>"
                                     "<PARAM id=\"dacL\" value=\"loud\"/><PARAM id=\"dacR\" value=\"99999999999\"/>"
                                     "<PARAM id=\"mixWet\" value=\"-2147483649\"/><PARAM id=\"adcR\"/>"
                                     "<PARAM value=\"1\"/><PARAM id=\"name\" value=\"x\"/>");
    ASSERT_TRUE (decoded.has_value());

    const auto& values = decoded->presetValues;
    EXPECT_EQ (values.getValue ("adcL"), 6);
    EXPECT_EQ (values.getValue ("dacL"), 0);
    EXPECT_EQ (values.getValue ("dacR"), std::numeric_limits<int>::max());
    EXPECT_EQ (values.getValue ("mixWet"), std::numeric_limits<int>::min());
    EXPECT_EQ (values.getValue ("adcR"), 0);
    EXPECT_EQ (values.getValue ("adcLink"), 1);
    EXPECT_EQ (values.getValue ("dacLink"), 1);
    EXPECT_EQ (values.getName(), "None");
    EXPECT_FALSE (decoded->bypass);
    EXPECT_FALSE (decoded->program.has_value());
}

TEST (StateChunkCodec, ChildrenAreToldByTheirExactTagTheRootsCaseIsLeftToTheProcessor)
{
    const auto stored = param ("adcL", "5") + param ("bypass", "1") + preset ("Kept", "0", "1")
                      + "<DEVICE name=\"QZR-1A2B\" mode=\"2\" channelSetting=\"2\" pedalboardMode=\"-1\"/>";
    std::string lowered = stored;
    for (const auto* tag : { "PARAM", "PRESET", "DEVICE" })
        for (auto at = lowered.find (tag); at != std::string::npos; at = lowered.find (tag))
            lowered.replace (at, std::strlen (tag), juce::String (tag).toLowerCase().toStdString());

    // The framework's own lookups would match these ignoring case, and assert.
    AssertionCounter assertions;

    for (const auto* root : { "Pellion", "PELLION", "pellion" })
    {
        SCOPED_TRACE (root);
        const auto exact = decode (frame (document (stored, root)));
        ASSERT_TRUE (exact.has_value());
        EXPECT_EQ (exact->rootTag, root);
        EXPECT_EQ (exact->presetValues.getValue ("adcL"), 5);
        EXPECT_TRUE (exact->bypass);
        ASSERT_TRUE (exact->program.has_value());
        EXPECT_EQ (exact->program->name, "Kept");
        EXPECT_TRUE (exact->device.has_value());

        const auto other = decode (frame (document (lowered, root)));
        ASSERT_TRUE (other.has_value());
        EXPECT_EQ (other->presetValues.getValue ("adcL"), 63);
        EXPECT_FALSE (other->bypass);
        EXPECT_FALSE (other->program.has_value());
        EXPECT_FALSE (other->device.has_value());
    }

    EXPECT_EQ (assertions.count, 0);
}

TEST (StateChunkCodec, BrokenUtf8IsReplacedAndLongNamesAreCut)
{
    // One invalid byte, a lone continuation byte, an overlong form and a surrogate.
    const auto broken = decodeBody (preset ("Caf\xE9 \x80 \xC0\xAF \xED\xA0\x80", "2", "1"));
    ASSERT_TRUE (broken.has_value() && broken->program.has_value());
    EXPECT_EQ (broken->program->name, juce::String::fromUTF8 ("Caf\xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD "
                                                              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"));
    EXPECT_EQ (broken->program->index, 2);

    // A broken byte in a name of the document itself still refuses it.
    EXPECT_FALSE (decodeBody ("<PARAM\xFF id=\"adcL\" value=\"5\"/>").has_value());

    const std::string longName (300, 'n');
    const auto cut = decodeBody (preset (longName, "0", "0"));
    EXPECT_EQ (cut->program->name, juce::String (longName.substr (0, (size_t) StateChunk::maximumNameCharacters)));
}

//==============================================================================
TEST (StateChunkCodec, AStoredProgramIsFoundByItsIndexThenByItsName)
{
    juce::OwnedArray<PresetFormat> none, user;
    for (auto* name : { "Alpha", "LongPresetName0", "LongPresetName0", "Beta" })
        user.add (new PresetFormat (juce::var(), name));

    const struct { const char* name; int index; int expected; } cases[] = {
        { "LongPresetName0", 3, 3 }, // two presets share the first 15 characters of their files' names
        { "LongPresetName0", 2, 2 },
        { "LongPresetName0", 4, 2 },
        { "Beta", 4, 4 },
        { "Beta", 1, 4 },
        { "Beta", 99, 4 },
        { "Ghost", 3, 1 },
        { "beta", 4, 1 },
        { "Alpha", 0, 0 },
        { "Alpha", -5, 0 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (StateChunk::findProgram ({ c.name, c.index, false }, none, user), c.expected) << c.name << " " << c.index;

    // Without presets a program that is gone falls back to "Default", never past the list.
    EXPECT_EQ (StateChunk::findProgram ({ "Ghost", 3, false }, none, none), 0);
}
