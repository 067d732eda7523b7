#pragma once

#include "Components/ComponentWrappers.h"
#include "Components/Face/ImageSelector.h"
#include "Components/Face/MeterWindowComponent.h"

#include <initializer_list>

// The peak window; its pictures are normal, amber and red.
class MeterWindow : public ComponentWrapper<MeterWindowComponent, NullLookAndFeel>
{
public:
    void init (std::initializer_list<ImageSelector> list)
    {
        jassert (list.size() == 3);
        component->images = ImageSelector::GetImages (list);
    }
};
