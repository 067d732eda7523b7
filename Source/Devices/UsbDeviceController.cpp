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
    jassert ((int) current.size() < maximumClients && isChannelSetting (channel) && isPedalboardLeg (leg));

    auto next = std::make_unique<Entries> (current);
    next->push_back ({ client, channel, leg });
    publish (std::move (next));
    setSplit (channel);
}

void UsbDeviceController::removeClient (UsbDeviceClient* client)
{
    const auto& current = getEntries();
    auto found = std::find_if (current.begin(), current.end(), [client] (const auto& e) { return e.client == client; });

    if (found == current.end())
        return;

    auto next = std::make_unique<Entries> (current);
    next->erase (next->begin() + (found - current.begin()));
    publish (std::move (next));
}

void UsbDeviceController::setChannel (UsbDeviceClient* client, int channel)
{
    jassert (isChannelSetting (channel));
    setSplit (channel);

    auto next = std::make_unique<Entries> (getEntries());
    for (auto& entry : *next)
        if (entry.client == client)
            entry.channel = channel;

    publish (std::move (next));
}
