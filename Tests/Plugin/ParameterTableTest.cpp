#include "Support/PluginFixture.h"
#include "Parameters/ParameterText.h"

namespace
{
struct Row
{
    const char* id;
    const char* name;
    int maximum;
    int defaultValue;
    int controllerNumber;
    int linkControllerNumber;
    bool modifiesPreset;
    bool automatable;
    bool discrete;
};

const Row table[] = {
    { "adcLink", "Link Stereo Input Channels", 1, 1, 108, -1, true, false, true },
    { "adcL", "Input Level Left", 127, 63, 106, 105, true, true, false },
    { "adcR", "Input Level Right", 127, 63, 107, 105, true, true, false },
    { "dacLink", "Link Stereo Output Channels", 1, 1, 115, -1, true, false, true },
    { "dacL", "Output Level Left", 127, 63, 113, 112, true, true, false },
    { "dacR", "Output Level Right", 127, 63, 114, 112, true, true, false },
    { "mixWet", "Dry/wet balance", 127, 63, -1, -1, true, true, false },
    { "channelSetting", "Device Channel Setting", 127, 2, -1, -1, false, false, false },
    { "bypass", "Bypass", 1, 1, 110, -1, false, true, true },
    { "preset", "Preset", 127, 0, -1, -1, false, false, false },
};
} // namespace

TEST (ParameterTable, StoreHoldsTheTenParametersInTableOrder)
{
    auto processor = makeProcessor();
    auto& store = processor->getValueTreeState();
    const auto& parameters = store.getParameters();

    ASSERT_EQ (parameters.size(), 10);
    ASSERT_EQ (store.getState().getNumChildren(), 10);
    EXPECT_EQ (store.getState().getType().toString(), "Pellion");
    EXPECT_EQ (store.getState()["version"].toString(), "0.2.0");

    for (int i = 0; i < 10; ++i)
    {
        const auto& row = table[i];
        auto* p = parameters[i];
        SCOPED_TRACE (row.id);

        EXPECT_EQ (p->getParameterID(), row.id);
        EXPECT_EQ (p->getName (100), row.name);
        EXPECT_EQ (p->getRange().getStart(), 0);
        EXPECT_EQ (p->getRange().getEnd(), row.maximum);
        EXPECT_EQ (p->get(), row.defaultValue);
        EXPECT_EQ (p->getControllerNumber(), row.controllerNumber);
        EXPECT_EQ (p->getLinkControllerNumber(), row.linkControllerNumber);
        EXPECT_EQ (p->modifiesPreset(), row.modifiesPreset);
        EXPECT_EQ (p->isAutomatable(), row.automatable);
        EXPECT_EQ (p->isDiscrete(), row.discrete);
        EXPECT_EQ (p->isBoolean(), row.discrete);
        EXPECT_TRUE (p->isMetaParameter());
        EXPECT_EQ (p->getNumSteps(), row.maximum + 1);

        auto child = store.getState().getChild (i);
        EXPECT_EQ (child.getType().toString(), "PARAM");
        EXPECT_EQ (child["id"].toString(), row.id);
        EXPECT_EQ ((int) child["value"], row.defaultValue);
    }
}

TEST (ParameterTable, OnlyTheSixAutomatableParametersReachTheHost)
{
    auto processor = makeProcessor();
    const auto& hostParameters = processor->getParameters();
    const char* expected[] = { "Input Level Left", "Input Level Right", "Output Level Left",
                               "Output Level Right", "Dry/wet balance", "Bypass" };

    ASSERT_EQ (hostParameters.size(), 6);
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ (hostParameters[i]->getName (100), expected[i]);
        EXPECT_EQ (hostParameters[i]->getParameterIndex(), i);
    }
}

TEST (ParameterTable, LinksPairTheLevelsUnderTheirSwitches)
{
    auto processor = makeProcessor();
    auto& store = processor->getValueTreeState();

    EXPECT_EQ (store.getParameter ("adcL")->getLinkPartner(), store.getParameter ("adcR"));
    EXPECT_EQ (store.getParameter ("adcR")->getLinkPartner(), store.getParameter ("adcL"));
    EXPECT_EQ (store.getParameter ("adcL")->getLinkSwitch(), store.getParameter ("adcLink"));
    EXPECT_EQ (store.getParameter ("dacR")->getLinkPartner(), store.getParameter ("dacL"));
    EXPECT_EQ (store.getParameter ("dacR")->getLinkSwitch(), store.getParameter ("dacLink"));
    EXPECT_EQ (store.getParameter ("mixWet")->getLinkPartner(), nullptr);
}

TEST (ParameterTable, SwitchTexts)
{
    EXPECT_EQ (valueToText (1.0f, 1024), "On");
    EXPECT_EQ (valueToText (0.0f, 1024), "Off");
    EXPECT_EQ (valueToText (0.0f, 2), "Of");
    EXPECT_EQ (valueToText (1.0f, 0), "");
    EXPECT_EQ (valueToText (0.0f, -3), "");
    EXPECT_EQ (textToValue ("On"), 1);
    EXPECT_EQ (textToValue ("on"), 0);
    EXPECT_EQ (textToValue ("Off"), 0);
    EXPECT_EQ (textToValue (""), 0);

    auto processor = makeProcessor();
    auto* bypass = processor->getValueTreeState().getParameter ("bypass");
    EXPECT_EQ (hostView (bypass).getText (1.0f, 100), "On");
    EXPECT_EQ (hostView (bypass).getText (0.0f, 100), "Off");
    EXPECT_EQ (hostView (bypass).getText (0.0f, 2), "Of");
    EXPECT_EQ (hostView (bypass).getValueForText ("on"), 0.0f);
    EXPECT_EQ (hostView (bypass).getValueForText ("On"), 1.0f);
}

TEST (ParameterTable, LevelTextsAreDecimalAndClamped)
{
    auto processor = makeProcessor();
    auto* adcL = processor->getValueTreeState().getParameter ("adcL");

    EXPECT_EQ (hostView (adcL).getText (adcL->convertTo0to1 (63.0f), 100), "63");
    EXPECT_EQ (adcL->convertFrom0to1 (hostView (adcL).getValueForText ("100")), 100.0f);
    EXPECT_EQ (adcL->convertFrom0to1 (hostView (adcL).getValueForText ("300")), 127.0f);
    EXPECT_EQ (adcL->convertFrom0to1 (hostView (adcL).getValueForText ("loud")), 0.0f);

    adcL->set (500, GestureTracker::internalSource);
    EXPECT_EQ (adcL->get(), 127);
    adcL->set (-4, GestureTracker::internalSource);
    EXPECT_EQ (adcL->get(), 0);

    // Only 0 to 1 and 0 to 2 are used, but the whole range is accepted.
    auto* preset = processor->getValueTreeState().getParameter ("preset");
    auto* channel = processor->getValueTreeState().getParameter ("channelSetting");
    preset->set (100, GestureTracker::internalSource);
    channel->set (127, GestureTracker::internalSource);
    EXPECT_EQ (preset->get(), 100);
    EXPECT_EQ (channel->get(), 127);
}
