#include "Settings/DeviceSettings.h"

#include "Settings/SettingsIdentifiers.h"

// Identifiers are made here, not as file statics, so settings may be built during static initialisation.
DeviceSettings::DeviceSettings (juce::ValueTree& tree)
    : blockSize (tree, juce::Identifier ("blockSize"), nullptr, 0, AllowedValueConstrainer<BlockSizeConstrainer>::constrain),
      outAdjust (tree, juce::Identifier ("outAdjust"), nullptr, 1, AllowedValueConstrainer<BufferSizeConstrainer>::constrain),
      inAdjust (tree, juce::Identifier ("inAdjust"), nullptr, 0, AllowedValueConstrainer<BufferSizeConstrainer>::constrain),
      extraLatency (tree, juce::Identifier ("extraLatency"), nullptr, 0, RangeConstrainer<int, 0, maximumExtraLatency>::constrain)
{
    jassert (tree.hasType (ID::DEVICE));

    for (auto setting : all())
        (this->*setting).onChange = [this] { notifyListeners(); };
}

void DeviceSettings::notifyListeners()
{
    listeners.call ([] (Listener& l) { l.settingsChanged(); });
}
