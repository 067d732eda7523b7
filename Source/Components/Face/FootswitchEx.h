#pragma once

#include "Components/ComponentWrappers.h"
#include "Components/Face/FootswitchButton.h"
#include "Components/Face/ImageSelector.h"
#include "Components/ControlAttachment.h"

// The footswitch, bound to the effect's on/off parameter.
class FootswitchEx : public ComponentWrapperWithAttachment<FootswitchButtonEx, AudioValueTreeState::ButtonAttachment, NullLookAndFeel>
{
public:
    void init (ImageSelector up, ImageSelector down)
    {
        component->upImage = up.getImage();
        component->downImage = down.getImage();
        component->setClickingTogglesState (true);
    }
};
