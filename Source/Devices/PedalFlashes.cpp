#include "Devices/PedalFlashes.h"

PedalFlashes::Claim::Claim (PedalFlashes& o, const juce::String& name) : owner (o), pedalName (name)
{
    owner.claimed.add (pedalName);
}

PedalFlashes::Claim::~Claim()
{
    // One entry only: two claims on one name each hold their own.
    owner.claimed.remove (owner.claimed.indexOf (pedalName));
}

PedalFlashes::~PedalFlashes()
{
    // A claim outliving the list would write into freed memory.
    jassert (claimed.isEmpty());
}

std::unique_ptr<PedalFlashes::Claim> PedalFlashes::claim (const juce::String& pedalName)
{
    return std::unique_ptr<Claim> (new Claim (*this, pedalName));
}

bool PedalFlashes::isFlashing (const juce::String& pedalName) const
{
    return pedalName.isNotEmpty() && claimed.contains (pedalName);
}
