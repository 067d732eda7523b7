#pragma once

#include "Components/ComponentWrappers.h"
#include "Components/Face/ImageSelector.h"
#include "Components/Face/SliderComponent.h"
#include "LookAndFeel/LookAndFeel_Fader.h"
#include "Components/ControlAttachment.h"

// A level fader: its cap slides over the face; the box below names the side,
// or shows the level in dB while the pointer is over it.
class Fader : public ComponentWrapperWithAttachment<SliderComponent, AudioValueTreeState::SliderAttachment, LookAndFeel_Fader>
{
public:
    static constexpr juce::uint32 valueColour = 0xFF6DFF00;

    void init (ImageSelector cap);
    void setLabel (const juce::String& name);
    void postInit() override;

    // "-∞" for 0, else 20 log10 (value / 127) with one decimal.
    static juce::String levelText (double value);
};
