#include "Support/PluginFixture.h"
#include "Parameters/ParameterText.h"
#include "Presets/PresetFormat.h"

#include <set>

// What the table's rows must agree on. Its exact values show where they are
// used: the ids and defaults in the state chunk and the first flush, the
// controller numbers in the pedal's messages, the names and ranges where a
// host lists its parameters.
namespace
{
using Parameter = AudioValueTreeState::Parameter;

struct ParameterTableTest : ::testing::Test
{
    const juce::Array<Parameter*>& parameters() const { return store.getParameters(); }

    std::unique_ptr<VelmoraAudioProcessor> processor = makeProcessor();
    AudioValueTreeState& store = processor->getValueTreeState();
};
} // namespace

TEST_F (ParameterTableTest, TheTreeHoldsEveryParameterInCreationOrderAtItsDefault)
{
    EXPECT_EQ (store.getState().getType().toString(), "Pellion");
    EXPECT_EQ (store.getState()["version"].toString(), "0.2.0");

    juce::StringArray ids;
    for (auto* p : parameters())
        ids.add (p->getParameterID());
    EXPECT_EQ (ids, juce::StringArray ({ "adcLink", "adcL", "adcR", "dacLink", "dacL", "dacR", "mixWet",
                                         "channelSetting", "bypass", "preset" }));

    ASSERT_EQ (store.getState().getNumChildren(), parameters().size());
    for (int i = 0; i < parameters().size(); ++i)
    {
        auto* p = parameters()[i];
        SCOPED_TRACE (p->getParameterID());
        auto child = store.getState().getChild (i);
        EXPECT_EQ (child.getType().toString(), "PARAM");
        EXPECT_EQ (child["id"].toString(), p->getParameterID());
        EXPECT_EQ ((int) child["value"], p->get());
        EXPECT_EQ (p->get(), (int) p->convertFrom0to1 (hostView (p).getDefaultValue()));
    }
}

TEST_F (ParameterTableTest, ExactlyTheAutomatableParametersAreHostParameters)
{
    juce::Array<juce::AudioProcessorParameter*> automatable;
    for (auto* p : parameters())
        if (p->isAutomatable())
            automatable.add (p);

    EXPECT_EQ (processor->getParameters(), automatable);
    EXPECT_EQ (automatable.size(), 6);
}

TEST_F (ParameterTableTest, EveryParameterIsASwitchOrALevel)
{
    for (auto* p : parameters())
    {
        SCOPED_TRACE (p->getParameterID());
        const auto& range = p->getNormalisableRange();
        EXPECT_EQ (range.start, 0.0f);
        EXPECT_EQ (range.interval, 1.0f);
        EXPECT_EQ (p->getNumSteps(), (int) range.end + 1);
        EXPECT_TRUE (p->isMetaParameter());
        EXPECT_EQ (p->getLabel(), "");
        EXPECT_EQ (p->getCategory(), juce::AudioProcessorParameter::genericParameter);
        EXPECT_EQ (p->isDiscrete(), p->isBoolean());

        if (p->isBoolean())
        {
            EXPECT_EQ (range.end, 1.0f);
            EXPECT_EQ (p->get(), 1);
            EXPECT_EQ (hostView (p).getText (1.0f, 1024), "On");
            EXPECT_EQ (hostView (p).getText (0.0f, 2), "Of");
            EXPECT_EQ (hostView (p).getValueForText ("On"), 1.0f);
            EXPECT_EQ (hostView (p).getValueForText ("on"), 0.0f);
        }
        else
        {
            EXPECT_EQ (range.end, 127.0f);
            EXPECT_EQ (hostView (p).getText (p->convertTo0to1 (63.0f), 1024), "63");
            EXPECT_EQ (p->convertFrom0to1 (hostView (p).getValueForText ("100")), 100.0f);
        }
    }
}

TEST_F (ParameterTableTest, LinkedLevelsShareTheirSwitchAndLinkNumber)
{
    int sides = 0;

    for (auto* p : parameters())
    {
        auto* linkSwitch = p->getLinkSwitch();
        if (linkSwitch == nullptr)
        {
            EXPECT_EQ (p->getLinkPartner(), nullptr);
            EXPECT_EQ (p->getLinkControllerNumber(), -1);
            continue;
        }

        SCOPED_TRACE (p->getParameterID());
        ++sides;
        auto* partner = p->getLinkPartner();
        ASSERT_NE (partner, nullptr);
        EXPECT_NE (partner, p);
        EXPECT_EQ (partner->getLinkPartner(), p);
        EXPECT_EQ (partner->getLinkSwitch(), linkSwitch);
        EXPECT_EQ (partner->getLinkControllerNumber(), p->getLinkControllerNumber());
        EXPECT_NE (p->getLinkControllerNumber(), -1);
        EXPECT_NE (p->getLinkControllerNumber(), p->getControllerNumber());

        // Two levels alike, and their switch created before either.
        EXPECT_FALSE (p->isBoolean());
        EXPECT_EQ (partner->getNormalisableRange().end, p->getNormalisableRange().end);
        EXPECT_EQ (partner->get(), p->get());
        EXPECT_TRUE (linkSwitch->isBoolean());
        EXPECT_EQ (linkSwitch->getLinkSwitch(), nullptr);
        EXPECT_LT (parameters().indexOf (linkSwitch), parameters().indexOf (p));
        EXPECT_EQ (linkSwitch->modifiesPreset(), p->modifiesPreset());
    }

    EXPECT_EQ (sides, 4);
}

TEST_F (ParameterTableTest, ControllerNumbersAreSevenBitAndNeverShared)
{
    std::multiset<int> numbers;
    std::set<int> linkNumbers;

    for (auto* p : parameters())
    {
        if (p->getControllerNumber() != -1)
            numbers.insert (p->getControllerNumber());
        if (p->getLinkControllerNumber() != -1)
            linkNumbers.insert (p->getLinkControllerNumber());
    }
    numbers.insert (linkNumbers.begin(), linkNumbers.end());

    for (int number : numbers)
    {
        EXPECT_EQ (numbers.count (number), 1u) << number;
        EXPECT_GE (number, 0);
        EXPECT_LE (number, 127);
    }
    EXPECT_EQ (linkNumbers.size(), 2u);
}

TEST_F (ParameterTableTest, ThePresetParametersAreThePresetFilesKeysWithItsDefaults)
{
    std::vector<juce::Identifier> inPresets;
    for (auto* p : parameters())
        if (p->modifiesPreset())
            inPresets.emplace_back (p->getParameterID());

    const auto& keys = PresetFormat::presetKeys();
    EXPECT_EQ (inPresets, std::vector<juce::Identifier> (keys.begin(), keys.end()));

    for (const auto& key : keys)
        EXPECT_EQ (store.getParameter (key.toString())->get(), PresetFormat::defaultValue (key)) << key.toString();
}

TEST (ParameterText, SwitchTextsAreCutToTheLengthAskedFor)
{
    const struct { float value; int maximumLength; const char* text; } cases[] = {
        { 1.0f, 1024, "On" }, { 0.0f, 1024, "Off" }, { 0.0f, 2, "Of" }, { 1.0f, 0, "" }, { 0.0f, -3, "" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (valueToText (c.value, c.maximumLength), c.text) << c.value << " " << c.maximumLength;

    EXPECT_EQ (textToValue ("On"), 1);
    EXPECT_EQ (textToValue ("on"), 0);
    EXPECT_EQ (textToValue ("Off"), 0);
    EXPECT_EQ (textToValue (""), 0);
}
