#pragma once

#include "Components/ComponentWrappers.h"
#include "Components/Face/ImageSelector.h"
#include "Components/Face/MultiImageComponent.h"

#include <initializer_list>

// A light with one picture per state; bound to a parameter, the state is its value.
class LED : public ComponentWrapperWithValue<MultiImageComponent, NullLookAndFeel>
{
public:
    void init (std::initializer_list<ImageSelector> list)
    {
        component->images = ImageSelector::GetImages (list);
        component->updateImage();
    }

    void valueChanged (juce::Value& v) override
    {
        const int n = v.getValue();
        if (n != component->index)
        {
            component->index = n;
            component->updateImage();
        }
    }
};
