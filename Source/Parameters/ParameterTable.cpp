#include "Parameters/ParameterTable.h"

#include "Parameters/ParameterText.h"

namespace
{
using Parameter = AudioValueTreeState::Parameter;

// A toggle is a switch (0 or 1, shown as "Off" or "On"); a level runs from 0 to 127.
enum class Kind
{
    toggle,
    level
};

struct Row
{
    const char* id;
    const char* name;
    Kind kind;
    int defaultValue;
    int controllerNumber = -1;
    bool modifiesPreset = false;
    bool automatable = false; // the host sees it and owns it
};

// In creation order, which is also the order of the store's tree.
const Row rows[] = {
    { .id = "adcLink", .name = "Link Stereo Input Channels", .kind = Kind::toggle, .defaultValue = 1,
      .controllerNumber = 108, .modifiesPreset = true },
    { .id = "adcL", .name = "Input Level Left", .kind = Kind::level, .defaultValue = 63,
      .controllerNumber = 106, .modifiesPreset = true, .automatable = true },
    { .id = "adcR", .name = "Input Level Right", .kind = Kind::level, .defaultValue = 63,
      .controllerNumber = 107, .modifiesPreset = true, .automatable = true },
    { .id = "dacLink", .name = "Link Stereo Output Channels", .kind = Kind::toggle, .defaultValue = 1,
      .controllerNumber = 115, .modifiesPreset = true },
    { .id = "dacL", .name = "Output Level Left", .kind = Kind::level, .defaultValue = 63,
      .controllerNumber = 113, .modifiesPreset = true, .automatable = true },
    { .id = "dacR", .name = "Output Level Right", .kind = Kind::level, .defaultValue = 63,
      .controllerNumber = 114, .modifiesPreset = true, .automatable = true },
    { .id = "mixWet", .name = "Dry/wet balance", .kind = Kind::level, .defaultValue = 63,
      .modifiesPreset = true, .automatable = true },
    { .id = "channelSetting", .name = "Device Channel Setting", .kind = Kind::level, .defaultValue = 2 },
    { .id = "bypass", .name = "Bypass", .kind = Kind::toggle, .defaultValue = 1,
      .controllerNumber = 110, .automatable = true },
    { .id = "preset", .name = "Preset", .kind = Kind::level, .defaultValue = 0 },
};

// While its switch is on, a change of either side moves both and goes to the
// pedal under the link's own controller number.
struct Link
{
    const char* linkSwitch;
    const char* left;
    const char* right;
    int controllerNumber;
};

const Link links[] = {
    { .linkSwitch = "adcLink", .left = "adcL", .right = "adcR", .controllerNumber = 105 },
    { .linkSwitch = "dacLink", .left = "dacL", .right = "dacR", .controllerNumber = 112 },
};

Parameter::Definition definitionOf (const Row& row)
{
    Parameter::Definition definition;
    definition.id = row.id;
    definition.name = row.name;
    definition.controllerNumber = row.controllerNumber;
    definition.defaultValue = row.defaultValue;
    definition.modifiesPreset = row.modifiesPreset;
    definition.automatable = row.automatable;

    if (row.kind == Kind::toggle)
    {
        definition.maximum = 1;
        definition.discrete = true;
        definition.boolean = true;
        definition.valueToText = [] (int value, int maximumLength) { return valueToText ((float) value, maximumLength); };
        definition.textToValue = [] (const juce::String& text) { return textToValue (text); };
    }

    return definition;
}
} // namespace

void ParameterTable::create (AudioValueTreeState& store, const Adopt& adopt)
{
    for (const auto& row : rows)
    {
        auto parameter = std::make_unique<Parameter> (definitionOf (row));
        auto* added = parameter.get();
        adopt (std::move (parameter));
        store.addParameter (added);
    }

    for (const auto& link : links)
        store.getParameter (link.linkSwitch)->setLink (store.getParameter (link.left), store.getParameter (link.right),
                                                       link.controllerNumber);
}
