#include "Components/Menus/PedalsView.h"

#include "Devices/UsbDevice.h"
#include "Devices/UsbDeviceManager.h"

juce::StringArray PedalsView::getNames() const
{
    juce::StringArray names;
    for (const auto& pedal : pedals)
        names.add (pedal.name);
    return names;
}

PedalsView PedalsView::read (const UsbBaseDeviceManager<UsbDevice>& manager, bool bootloaderListed, const Instance& instance)
{
    PedalsView view;
    view.bootloaderListed = bootloaderListed;
    view.attachedFlashing = instance.flashing;

    if (auto* mine = instance.pedal)
        view.attached = Attached { mine->getName(), mine->getDriver().getFirmwareVersion(), mine->getDriver().getState() };

    // The scheme of item ids holds ten pedals.
    const auto listed = juce::jmin (manager.getNumDevices(), MenuIds::maximumPedals);
    view.pedals.reserve ((size_t) listed);
    for (int i = 0; i < listed; ++i)
    {
        auto& pedal = *manager.getDevice (i);
        auto use = PedalUse::read (pedal, instance.pedal, instance.client, instance.channel, instance.hostInputs,
                                   instance.hostOutputs);
        use.flashing = manager.getFlashes().isFlashing (pedal.getName());
        view.pedals.push_back ({ pedal.getName(), use });
    }

    return view;
}
