#pragma once

#include "Components/Face/Fader.h"
#include "Components/Face/FootswitchEx.h"
#include "Components/Face/Knob.h"
#include "Components/Face/LED.h"
#include "Components/Face/Meter.h"
#include "Components/Face/MeterWindow.h"
#include "Components/Face/Toggle.h"
#include "Devices/DeviceModes.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>
#include <utility>

// The picture of the pedal: four level faders, two link switches, the
// footswitch, the mix knob, three lights, two meters and the peak window, each
// bound to its parameter and placed over the chassis picture that the editor
// paints behind the face. The face chooses that picture for the pedal's use.
class PedalComponent : public juce::Component
{
public:
    // chassisImage is the editor's picture behind the face; updateEditor replaces it.
    PedalComponent (juce::Image& chassisImage, AudioValueTreeState& state);

    void resized() override;

    // Re-skins the face for a use, a channel setting (none: the plain stereo
    // chassis) and a pedalboard leg.
    void updateEditor (Mode mode, std::optional<ChannelSetting> channel, PedalModeConfig config);

    // The newest peaks, left and right; a negative peak means that none came.
    void setPeaks (std::pair<float, float> peaks);

    // The USB and POWER lights show the pedal's use, off without one.
    void showConnection (Mode mode);

    // The pedal's indicator byte: bit 0 shows the footswitch pressed, whatever the mouse does.
    void showIndicators (juce::uint8 indicators);

    // The widgets as drawn, for the tests and picture tools that check a picture.
    struct Widgets
    {
        const juce::Image& chassis;
        Fader& faderDacL;
        Fader& faderDacR;
        Fader& faderAdcL;
        Fader& faderAdcR;
        Toggle& toggleDacLink;
        Toggle& toggleAdcLink;
        FootswitchEx& footswitch;
        LED& ledUsb;
        LED& ledPower;
        Knob& knobMix;
        LED& ledStatus;
        Meter& meterL;
        Meter& meterR;
        MeterWindow& meterWindow;
    };

    Widgets widgetsForTesting() noexcept;

private:
    void applyMonoLayout (ChannelSetting channel);
    void applyStereoLayout();

    juce::Image& chassisImage;
    AudioValueTreeState& state;

    Fader faderDacL;
    Fader faderDacR;
    Fader faderAdcL;
    Fader faderAdcR;
    Toggle toggleDacLink;
    Toggle toggleAdcLink;
    FootswitchEx footswitch;
    LED ledUsb;
    LED ledPower;
    Knob knobMix;
    LED ledStatus;
    Meter meterL;
    Meter meterR;
    MeterWindow meterWindow;
    juce::Label labelDry;
    juce::Label labelWet;
    juce::Label labelPower;
    juce::Label labelUsb;

    // The pedal's indicator byte as last shown.
    juce::uint8 indicatorState = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PedalComponent)
};
