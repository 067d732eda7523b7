#include "Parameters/ParameterTable.h"

#include "Parameters/ParameterText.h"

namespace
{
using Parameter = AudioValueTreeState::Parameter;

Parameter* add (AudioValueTreeState& store, const ParameterTable::Adopt& adopt, std::unique_ptr<Parameter> parameter)
{
    auto* raw = parameter.get();
    adopt (std::move (parameter));
    store.addParameter (raw);
    return raw;
}

Parameter* addToggle (AudioValueTreeState& store, const ParameterTable::Adopt& adopt, const juce::String& id,
                      const juce::String& name, int controllerNumber, bool modifiesPreset, bool automatable)
{
    return add (store, adopt, std::make_unique<Parameter> (
        id, name, controllerNumber, 0, 1, 1, modifiesPreset, juce::String(),
        [] (int value, int maximumLength) { return valueToText ((float) value, maximumLength); },
        [] (const juce::String& text) { return textToValue (text); },
        automatable, true, true));
}

Parameter* addLevel (AudioValueTreeState& store, const ParameterTable::Adopt& adopt, const juce::String& id,
                     const juce::String& name, int controllerNumber, bool modifiesPreset, bool automatable,
                     int defaultValue)
{
    return add (store, adopt, std::make_unique<Parameter> (
        id, name, controllerNumber, 0, 127, defaultValue, modifiesPreset, juce::String(),
        nullptr, nullptr, automatable, false, false));
}
} // namespace

void ParameterTable::create (AudioValueTreeState& store, const Adopt& adopt)
{
    auto* adcLink = addToggle (store, adopt, "adcLink", "Link Stereo Input Channels", 108, true, false);
    auto* adcL = addLevel (store, adopt, "adcL", "Input Level Left", 106, true, true, 63);
    auto* adcR = addLevel (store, adopt, "adcR", "Input Level Right", 107, true, true, 63);
    adcLink->setLink (adcL, adcR, 105);

    auto* dacLink = addToggle (store, adopt, "dacLink", "Link Stereo Output Channels", 115, true, false);
    auto* dacL = addLevel (store, adopt, "dacL", "Output Level Left", 113, true, true, 63);
    auto* dacR = addLevel (store, adopt, "dacR", "Output Level Right", 114, true, true, 63);
    dacLink->setLink (dacL, dacR, 112);

    addLevel (store, adopt, "mixWet", "Dry/wet balance", -1, true, true, 63);
    addLevel (store, adopt, "channelSetting", "Device Channel Setting", -1, false, false, 2);
    addToggle (store, adopt, "bypass", "Bypass", 110, false, true);
    addLevel (store, adopt, "preset", "Preset", -1, false, false, 0);
}
