#include "Settings/DeviceSettings.h"

#include "Settings/SettingsIdentifiers.h"

// Identifiers are made here, not as file statics, so settings may be built during static initialisation.
DeviceSettings::DeviceSettings (juce::ValueTree& tree)
    : blockSize (tree, juce::Identifier ("blockSize"), nullptr, 0, AllowedValueConstrainer<BlockSizeConstrainer>::constrain),
      outAdjust (tree, juce::Identifier ("outAdjust"), nullptr, 1, AllowedValueConstrainer<BufferSizeConstrainer>::constrain),
      inAdjust (tree, juce::Identifier ("inAdjust"), nullptr, 0, AllowedValueConstrainer<BufferSizeConstrainer>::constrain),
      extraLatency (tree, juce::Identifier ("extraLatency"), nullptr, 0, RangeConstrainer<int, 0, 9999>::constrain)
{
    jassert (tree.hasType (ID::DEVICE));

    for (auto* value : { &blockSize, &outAdjust, &inAdjust, &extraLatency })
        value->onChange = [this] { notifyListeners(); };
}

void DeviceSettings::addListener (Listener* listener)
{
    listeners.addIfNotAlreadyThere (listener);
}

void DeviceSettings::removeListener (Listener* listener)
{
    listeners.removeFirstMatchingValue (listener);
}

void DeviceSettings::notifyListeners()
{
    // Last-added first, by index, so a listener may remove itself or others
    // during its call. The walk resumes just before the listener it called,
    // wherever that one now sits; if it has gone, from the shrunken end.
    for (int i = listeners.size() - 1; i >= 0;)
    {
        auto* listener = listeners.getUnchecked (i);
        listener->settingsChanged();

        const auto now = listeners.indexOf (listener);
        i = (now >= 0 && now <= i) ? now - 1 : juce::jmin (i, listeners.size()) - 1;
    }
}
