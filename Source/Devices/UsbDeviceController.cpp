#include "Devices/UsbDeviceController.h"

#include <algorithm>
#include <utility>

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
    updateSplit (*next);
    std::unique_ptr<const Entries> previous (entries.exchange (next.release()));
    retired.retire (std::move (previous));
}

void UsbDeviceController::updateSplit (const Entries& list) noexcept
{
    // The setting chosen last decides; with no client left the flag stays as it was.
    auto latest = std::max_element (list.begin(), list.end(),
                                    [] (const auto& a, const auto& b) { return a.chosen < b.chosen; });

    if (latest != list.end())
        split.store (latest->channel != ChannelSetting::stereo ? 1 : 0);
}

UsbDeviceClient* UsbDeviceController::getPrimaryClient() const noexcept
{
    const auto& current = getEntries();
    return current.empty() ? nullptr : current.front().client;
}

void UsbDeviceController::addClient (UsbDeviceClient* client, ChannelSetting channel, PedalModeConfig leg)
{
    const auto& current = getEntries();
    jassert ((int) current.size() < maximumClients);

    auto next = std::make_unique<Entries> (current);
    next->push_back ({ client, channel, leg, ++choices });
    publish (std::move (next));
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

void UsbDeviceController::setChannel (UsbDeviceClient* client, ChannelSetting channel)
{
    auto next = std::make_unique<Entries> (getEntries());
    for (auto& entry : *next)
    {
        if (entry.client == client)
        {
            entry.channel = channel;
            entry.chosen = ++choices;
        }
    }

    publish (std::move (next));
}
