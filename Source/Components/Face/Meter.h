#pragma once

#include "Components/ComponentWrappers.h"
#include "Components/Face/ImageSelector.h"
#include "Components/Face/MeterComponent.h"

#include <initializer_list>

// A level meter; its segment pictures come in unlit/lit pairs: green, amber, red.
class Meter : public ComponentWrapper<MeterComponent, NullLookAndFeel>
{
public:
    void init (std::initializer_list<ImageSelector> list)
    {
        const auto images = ImageSelector::GetImages (list);
        jassert (images.size() % 2 == 0);
        jassert (images.size() == 6);

        component->offImages.clear();
        component->onImages.clear();
        for (int pair = 0; pair + 1 < images.size(); pair += 2)
        {
            component->offImages.add (images[pair]);
            component->onImages.add (images[pair + 1]);
        }

        jassert (component->offImages.size() == 3 && component->onImages.size() == 3);
    }
};
