#include "Devices/Midi/MidiPorts.h"

#include <atomic>

namespace
{
// Whether the platform can have MIDI ports at all. On Linux the framework opens
// the ALSA sequencer afresh for every listing, and where there is none ALSA
// prints an error each time: every scan, twice a second. Its device nodes say
// beforehand whether opening can succeed (the second one loads the sequencer).
bool platformHasMidi()
{
   #if JUCE_LINUX && JUCE_ALSA
    return juce::File ("/dev/snd/seq").exists() || juce::File ("/dev/aloadSEQ").exists();
   #else
    return true;
   #endif
}

// The platform's ports, through the framework.
class PlatformMidiPorts final : public MidiPorts
{
public:
    juce::Array<juce::MidiDeviceInfo> getInputs() override
    {
        return platformHasMidi() ? juce::MidiInput::getAvailableDevices() : juce::Array<juce::MidiDeviceInfo>();
    }

    juce::Array<juce::MidiDeviceInfo> getOutputs() override
    {
        return platformHasMidi() ? juce::MidiOutput::getAvailableDevices() : juce::Array<juce::MidiDeviceInfo>();
    }

    std::unique_ptr<Input> openInput (const juce::String& identifier, juce::MidiInputCallback* callback) override
    {
        if (identifier.isEmpty() || ! platformHasMidi())
            return nullptr;

        auto port = juce::MidiInput::openDevice (identifier, callback);
        return port != nullptr ? std::make_unique<PlatformInput> (std::move (port)) : nullptr;
    }

    std::unique_ptr<Output> openOutput (const juce::String& identifier) override
    {
        if (identifier.isEmpty() || ! platformHasMidi())
            return nullptr;

        auto port = juce::MidiOutput::openDevice (identifier);
        return port != nullptr ? std::make_unique<PlatformOutput> (std::move (port)) : nullptr;
    }

private:
    struct PlatformInput final : Input
    {
        explicit PlatformInput (std::unique_ptr<juce::MidiInput> p) : port (std::move (p)) {}
        void start() override { port->start(); }
        void stop() override { port->stop(); }
        std::unique_ptr<juce::MidiInput> port;
    };

    // The output's background thread is never started: every message goes at once.
    struct PlatformOutput final : Output
    {
        explicit PlatformOutput (std::unique_ptr<juce::MidiOutput> p) : port (std::move (p)) {}
        void sendMessageNow (const juce::MidiMessage& message) override { port->sendMessageNow (message); }
        void clearAllPendingMessages() override { port->clearAllPendingMessages(); }
        std::unique_ptr<juce::MidiOutput> port;
    };
};

std::atomic<MidiPorts*> installedPorts { nullptr };
} // namespace

MidiPorts& MidiPorts::system()
{
    if (auto* standIn = installedPorts.load (std::memory_order_acquire))
        return *standIn;

    static PlatformMidiPorts platform;
    return platform;
}

void MidiPorts::install (MidiPorts* standIn)
{
    installedPorts.store (standIn, std::memory_order_release);
}
