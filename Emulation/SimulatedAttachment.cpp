#include "Emulation/SimulatedAttachment.h"

UsbDeviceClient* attachSimulatedClient (UsbDevice& device, CoSimulation& sim, Mode mode, int hostBlock,
                                        double sampleRate, ChannelSetting channel, PedalModeConfig leg)
{
    auto& driver = device.getDriver();
    driver.setSampleRate ((int) sampleRate);

    const bool connecting = ! driver.isAudioDeviceOpen();
    if (connecting)
        driver.connect (mode);

    auto* client = device.addClient (channel, leg);
    client->setPedalboardLeg (mode == Mode::pedalboard ? leg : PedalModeConfig::none);
    client->getAudioSource().prepareToPlay (hostBlock, sampleRate);

    // The pedal's answer carries its slot (the request went out with none).
    if (connecting && ! sim.runUntil ([&driver] { return driver.getSlot() != 0; }, 1.0))
        return nullptr;

    return client;
}
