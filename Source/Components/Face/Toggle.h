#pragma once

#include "Components/ComponentWrappers.h"
#include "Components/Face/ImageSelector.h"
#include "Components/ControlAttachment.h"

// A stereo-link switch: one picture when off (also under the pointer), another when on.
class Toggle : public ComponentWrapperWithAttachment<juce::ImageButton, AudioValueTreeState::ButtonAttachment, NullLookAndFeel>
{
public:
    void init (ImageSelector off, ImageSelector on)
    {
        const auto offImage = off.getImage();
        const auto onImage = on.getImage();
        const juce::Colour clear (0x00FFFFFF);
        component->setImages (false, true, true, offImage, 1.0f, clear, offImage, 1.0f, clear, onImage, 1.0f, clear, 0.0f);
        component->setClickingTogglesState (true);
    }
};
