#include "Devices/UsbDeviceController.h"

#include <algorithm>

UsbDeviceController::UsbDeviceController (UsbDeviceDriver& d, RetiredObjects& r)
    : driver (d), retired (r), entries (new Entries())
{
}

UsbDeviceController::~UsbDeviceController()
{
    delete entries.load();
}

void UsbDeviceController::publish (std::unique_ptr<Entries> next)
{
    std::unique_ptr<const Entries> previous (entries.exchange (next.release()));
    retired.retire (std::move (previous));
}

void UsbDeviceController::addClient (UsbDeviceClient* client, int channel, int leg)
{
    const auto& current = getEntries();
    jassert ((int) current.size() < maximumClients && channel >= 0 && channel < 3);

    const auto mask = (uint8_t) (juce::jlimit (0, 2, channel) + 1);

    if (leg == pedalboardOut)
    {
        jassert (mask != outMask);
        outMask |= mask;
    }
    else if (leg == pedalboardIn)
    {
        jassert (mask != inMask);
        inMask |= mask;
    }
    else
    {
        jassert (mask != inMask);
        inMask |= mask;
        outMask = inMask;
    }

    auto next = std::make_unique<Entries> (current);
    next->push_back ({ client, channel, leg });
    publish (std::move (next));

    split.store (channel != channelStereo ? 1 : 0);
}

void UsbDeviceController::removeClient (UsbDeviceClient* client)
{
    const auto& current = getEntries();
    auto found = std::find_if (current.begin(), current.end(), [client] (const auto& e) { return e.client == client; });

    if (found == current.end())
        return;

    const auto mask = (uint8_t) (juce::jlimit (0, 2, found->channel) + 1);

    if (found->leg == pedalboardOut)
    {
        jassert (outMask == 3 || outMask == mask);
        outMask = (uint8_t) (outMask & ~mask);
    }
    else if (found->leg == pedalboardIn)
    {
        jassert (inMask == 3 || inMask == mask);
        inMask = (uint8_t) (inMask & ~mask);
    }
    else
    {
        jassert (inMask == 3 || inMask == mask);
        inMask = (uint8_t) (inMask & ~mask);
        outMask = inMask;
    }

    auto next = std::make_unique<Entries> (current);
    next->erase (next->begin() + (found - current.begin()));
    publish (std::move (next));
}

void UsbDeviceController::setChannel (UsbDeviceClient* client, int channel)
{
    inMask = 0;
    split.store (channel != channelStereo ? 1 : 0);
    jassert (channel >= 0 && channel < 3);

    auto next = std::make_unique<Entries> (getEntries());
    for (auto& entry : *next)
        if (entry.client == client)
            entry.channel = channel;

    publish (std::move (next));
    inMask = (uint8_t) (juce::jlimit (0, 2, channel) + 1);
}
