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

// What a host sees of these (names, order, flags, texts) is the host interface's to test.
TEST (ParameterTable, SwitchTextsAreCutToTheLengthAskedFor)
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
