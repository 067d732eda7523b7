#pragma once

#include "Components/ComponentWrappers.h"
#include "Components/Face/ImageSelector.h"
#include "Components/Face/SliderComponent.h"
#include "LookAndFeel/LookAndFeel_Slider.h"
#include "Components/ControlAttachment.h"

// The mix knob: its marker turns with the balance; the box below names it, or
// shows the balance from 0 to 100 while the pointer is over it.
class Knob : public ComponentWrapperWithAttachment<SliderComponent, AudioValueTreeState::SliderAttachment, LookAndFeel_Slider>
{
public:
    void init (ImageSelector knob, ImageSelector marker);
    void setLabel (const juce::String& name);
    void postInit() override;

    // The value as a whole percentage of 127, rounded half up.
    static juce::String percentText (double value);
};
