#pragma once

#include <juce_core/juce_core.h>
#include <memory>

// The firmware flashes running in this process, by the name of the pedal each
// one replaces the firmware of. A pedal is being flashed from the start of a
// download that will flash it until it has come back with the new firmware;
// meanwhile no editor, menu action or reconnect may attach, detach or open a
// prompt over it, in any plug-in instance. The pedal manager keeps the one list.
// Message thread only.
class PedalFlashes
{
public:
    // Marks its pedal as being flashed for as long as it exists. Whoever holds
    // one keeps the pedal manager alive meanwhile.
    class Claim
    {
    public:
        ~Claim();
        const juce::String& getPedalName() const noexcept { return pedalName; }

    private:
        friend class PedalFlashes;
        Claim (PedalFlashes& owner, const juce::String& pedalName);

        PedalFlashes& owner;
        const juce::String pedalName;

        JUCE_DECLARE_NON_COPYABLE (Claim)
    };

    PedalFlashes() = default;
    ~PedalFlashes();

    // A claim on the pedal of that name. An empty name (a pedal already waiting
    // in its bootloader, which the manager does not list) claims no pedal.
    std::unique_ptr<Claim> claim (const juce::String& pedalName);

    bool isFlashing (const juce::String& pedalName) const;

private:
    juce::StringArray claimed; // one entry per claim

    JUCE_DECLARE_NON_COPYABLE (PedalFlashes)
};
