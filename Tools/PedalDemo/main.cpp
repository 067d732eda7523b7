// Shows the pedal link at work against the emulated pedal: discovery, the mode
// handshake, the state exchange, a knob move, a message from the pedal, the
// track's audio through the pedal, the release. Every frame on the wire is
// printed as it passes.
#include "AudioDemo.h"
#include "Emulation/EmulatedPedal.h"
#include "PluginProcessor.h"
#include "Support/TestHome.h"

#include <iostream>

namespace
{
juce::String hex (const std::vector<uint8_t>& bytes)
{
    juce::String text;
    for (auto b : bytes)
        text << juce::String::toHexString ((int) b).paddedLeft ('0', 2).toUpperCase() << " ";
    return text.trim();
}

void settle (VirtualMidiPorts& ports, UsbBaseDeviceManager<UsbDevice>& manager, const juce::String& name)
{
    ports.flush();
    if (auto* device = manager.findDevice (name))
        device->getDriver().getMidiDevice().deliverWaitingMessages();
}

void showNewFrames (EmulatedPedal& pedal, size_t& shown)
{
    const auto frames = pedal.getReceivedMessages();
    for (; shown < frames.size(); ++shown)
        std::cout << "  plug-in -> pedal: " << hex (frames[shown]) << "\n";
}

const char* modeName (Mode mode)
{
    static const char* const names[] = { "Not Connected", "Control", "Audio", "Pedalboard" };
    return names[toInt (mode)];
}
} // namespace

int main()
{
    const TemporaryHome home; // the demo's settings never reach the real settings folder
    const juce::ScopedJuceInitialiser_GUI framework;

    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    ports.install();
    audioTypes.install();

    // The pedal's audio device runs in simulated time, from the start.
    audioTypes.setManualByDefault (true);
    CoSimulation sim (audioTypes);

    const juce::String name ("QZR-1A2B");
    EmulatedPedal pedal (ports, audioTypes, name, 0x15);
    pedal.setFirmwareVersion (0x010203);
    pedal.plugIn();
    std::cout << "emulated pedal " << name << " plugged in (MIDI in/out and audio device)\n";

    {
        VelmoraAudioProcessor processor;
        processor.enableAllBuses();
        processor.prepareToPlay (48000.0, 512);
        auto& manager = processor.getDeviceManager();
        manager.scanForDevices();
        std::cout << "pedals found: " << manager.getNumDevices() << "\n";

        size_t shown = 0;
        std::cout << "attaching in Audio use, stereo\n";
        processor.setUsbDevice (name, Mode::audio, ChannelSetting::stereo, PedalModeConfig::none);
        settle (ports, manager, name);
        showNewFrames (pedal, shown);

        auto& driver = processor.getDevice()->getDriver();
        std::cout << "connection: " << modeName (driver.getState()) << ", device id " << (int) driver.getDeviceId()
                  << ", slot " << driver.getSlot() << ", firmware "
                  << ((driver.getFirmwareVersion() >> 16) & 0xFF) << "." << ((driver.getFirmwareVersion() >> 8) & 0xFF)
                  << "." << (driver.getFirmwareVersion() & 0xFF) << "\n";

        std::cout << "turning the input level to 90 (linked pair)\n";
        processor.getValueTreeState().getParameter ("adcL")->set (90, GestureTracker::internalSource);
        showNewFrames (pedal, shown);

        std::cout << "the pedal sets its output level to 40\n";
        pedal.sendControlChanges ({ { 113, 40 } });
        settle (ports, manager, name);
        std::cout << "  dacL " << processor.getValueTreeState().getParameter ("dacL")->get() << ", dacR "
                  << processor.getValueTreeState().getParameter ("dacR")->get() << "\n";

        showAudioThroughThePedal (processor, pedal, ports, sim);

        std::cout << "detaching\n";
        processor.disconnectUsbClient();
        showNewFrames (pedal, shown);
        std::cout << "pedal released: " << (pedal.wasReleased() ? "yes" : "no") << "\n";
    }

    return 0;
}
