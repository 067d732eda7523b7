#include "Components/ControlAttachment.h"

AudioValueTreeState::SliderAttachment::SliderAttachment (AudioValueTreeState& s, const juce::String& id, juce::Slider& slider)
    : ControlAttachment (s, id, slider)
{
    control.setRange (0.0, 127.0, 1.0);
    showInitialValue();
}

void AudioValueTreeState::SliderAttachment::setControlValue (int value, juce::NotificationType notification)
{
    control.setValue ((double) value, notification);
}

int AudioValueTreeState::SliderAttachment::getControlValue() const
{
    return (int) control.getValue();
}

AudioValueTreeState::ButtonAttachment::ButtonAttachment (AudioValueTreeState& s, const juce::String& id, juce::Button& button)
    : ControlAttachment (s, id, button)
{
    showInitialValue();
}

void AudioValueTreeState::ButtonAttachment::setControlValue (int value, juce::NotificationType notification)
{
    control.setToggleState (value != 0, notification);
}

int AudioValueTreeState::ButtonAttachment::getControlValue() const
{
    return control.getToggleState() ? 1 : 0;
}
