#include "Updates/PedalRestartWatch.h"

PedalRestartWatch::PedalRestartWatch()
{
    pedalManager->addListener (this);
}

PedalRestartWatch::~PedalRestartWatch()
{
    cancelPendingUpdate();
    stopWatching();
    pedalManager->removeListener (this);
}

void PedalRestartWatch::deviceAdded (UsbDevice* device)
{
    if (! armed || watched != nullptr || reported)
        return;

    watched = device;
    auto& driver = device->getDriver();
    driver.addListener (this);

    if (driver.getState() == Mode::none)
    {
        askedOurselves = true;
        driver.connect (Mode::control);
    }
}

void PedalRestartWatch::deviceRemoved (UsbDevice* device)
{
    if (device != watched)
        return;

    // Gone: nothing to release.
    device->getDriver().removeListener (this);
    watched = nullptr;
    askedOurselves = false;
}

void PedalRestartWatch::deviceConnected (UsbDeviceDriver* driver)
{
    if (watched == nullptr || driver != &watched->getDriver() || reported)
        return;

    reportedVersion = (juce::uint32) driver->getFirmwareVersion();
    reported = true;

    // Let go once the driver has finished with this reply.
    if (askedOurselves)
        triggerAsyncUpdate();
}

void PedalRestartWatch::handleAsyncUpdate()
{
    stopWatching();
}

void PedalRestartWatch::stopWatching()
{
    if (watched != nullptr)
    {
        auto& driver = watched->getDriver();
        driver.removeListener (this);

        if (askedOurselves && watched->getNumClients() == 0)
            driver.disconnect();
    }

    watched = nullptr;
    askedOurselves = false;
}
