#pragma once

#include "Components/Dialogs/AlertBoxComponent.h"
#include "Components/Face/PedalComponent.h"
#include "Support/Found.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The editor window's parts, found as a user finds them: by what they are. The
// window has one of each: the face, the status line, the settings button, the
// update notice, and at most one dialog.
template <typename Part>
Part* findPart (const juce::Component& window)
{
    for (auto* child : window.getChildren())
        if (auto* part = dynamic_cast<Part*> (child))
            return part;
    return nullptr;
}

inline PedalComponent& faceOf (const juce::Component& window)
{
    return found (findPart<PedalComponent> (window), "the pedal face");
}

inline juce::Label& statusLineOf (const juce::Component& window)
{
    return found (findPart<juce::Label> (window), "the status line");
}

inline juce::ImageButton& settingsButtonOf (const juce::Component& window)
{
    return found (findPart<juce::ImageButton> (window), "the settings button");
}

inline juce::TextButton& updateNoticeOf (const juce::Component& window)
{
    return found (findPart<juce::TextButton> (window), "the update notice");
}

// The dialog shown, if it is of this kind; nullptr otherwise.
template <typename Dialog = AlertBoxComponent>
Dialog* dialogOf (const juce::Component& window)
{
    return dynamic_cast<Dialog*> (findPart<AlertBoxComponent> (window));
}
