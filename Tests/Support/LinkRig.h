#pragma once

#include "Devices/Midi/SysexMessage.h"
#include "Devices/UsbDeviceManager.h"
#include "Emulation/EmulatedPedal.h"
#include "Support/Found.h"
#include "Support/Waiting.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf (const juce::MidiMessage& message)
{
    const auto* data = message.getRawData();
    return { data, data + message.getRawDataSize() };
}

// One listener for every interface of the pedal link: each call becomes a line
// of a log, which several of them may share to show their order.
class CallLog : public MidiDevice::Listener,
                public UsbDeviceDriver::Listener,
                public UsbDeviceClient::ClientListener,
                public UsbBaseDeviceManager<UsbDevice>::Listener,
                public UsbBaseDeviceManager<UsbBootDevice>::Listener
{
public:
    using Lines = std::vector<std::string>;

    CallLog() : lines (ownLines) {}
    CallLog (Lines& shared, std::string tagToUse) : lines (shared), tag (std::move (tagToUse)) {}

    void incomingMidiMessage (MidiDevice*, const juce::MidiMessage& m) override { log ("midi", m); }
    void deviceStatusChanged (UsbDeviceDriver* d) override { log ("status " + std::to_string (toInt (d->getState()))); }
    void deviceConnected (UsbDeviceDriver*) override { log ("connected"); }
    void incomingMidiMessage (UsbDeviceDriver*, const juce::MidiMessage& m) override { log ("message", m); }
    void incomingMidiMessage (SysexMessage& m) override { log ("sysex " + std::to_string (m.group) + " " + std::to_string (m.command)); }
    void deviceConnected() override { log ("client connected"); }
    void deviceAdded (UsbDevice* d) override { log ("added " + d->getName().toStdString()); }
    void deviceRemoved (UsbDevice* d) override { log ("removed " + d->getName().toStdString()); }
    void deviceAdded (UsbBootDevice* d) override { log ("added " + d->getName().toStdString()); }
    void deviceRemoved (UsbBootDevice* d) override { log ("removed " + d->getName().toStdString()); }

    void clear()
    {
        lines.clear();
        messages.clear();
    }

    int count (const std::string& line) const { return (int) std::count (lines.begin(), lines.end(), tag + line); }

    // The calls other than those passing messages.
    Lines events() const
    {
        Lines found;
        for (auto& line : lines)
            if (line.find ("message") == std::string::npos && line.find ("midi") == std::string::npos)
                found.push_back (line);
        return found;
    }

    Lines& lines;
    std::vector<Bytes> messages;       // the MIDI messages among the calls, in order
    std::function<void()> onCall;      // runs after each call is logged

private:
    void log (const std::string& line, const juce::MidiMessage& m)
    {
        messages.push_back (bytesOf (m));
        log (line + " " + juce::String::toHexString (m.getRawData(), m.getRawDataSize()).toStdString());
    }

    void log (const std::string& line)
    {
        lines.push_back (tag + line);
        if (onCall)
            onCall();
    }

    Lines ownLines;
    std::string tag;
};

// One emulated pedal, plugged in, behind the process-wide pedal manager that
// processors share. The virtual ports are installed before the manager exists,
// so every scan sees them; nothing runs the message loop, so tests drain the
// MIDI queue and tick the keep-alive timer by hand.
class LinkRig
{
public:
    using Manager = UsbBaseDeviceManager<UsbDevice>;

    static constexpr uint8_t pedalId = 0x15;
    static constexpr int pedalSlot = 2;
    static constexpr int pedalVersion = 0x010203;
    static constexpr const char* pedalName = "QZR-1A2B";

    LinkRig()
    {
        ports.install();
        audioTypes.install();
        pedal.setFirmwareVersion (pedalVersion);
        pedal.plugIn();
        manager = std::make_unique<juce::SharedResourcePointer<Manager>>();
        getManager().scanForDevices();
    }

    ~LinkRig()
    {
        releaseRetired();
        manager.reset();
        pedal.unplug();
    }

    Manager& getManager() { return **manager; }
    UsbDevice* findDevice() { return getManager().findDevice (pedalName); }

    UsbDevice& device() { return found (findDevice(), std::string ("the pedal ") + pedalName + " among the pedals found"); }

    UsbDeviceDriver& driver() { return device().getDriver(); }

    // Everything the pedal sent so far reaches the plug-in, as the 50 ms drain
    // does; false when the ports did not hand it all over within a minute.
    bool drain()
    {
        const bool flushed = ports.flush (60000);
        EXPECT_TRUE (flushed) << "the pedal's messages did not reach the plug-in's MIDI input within 60 s";
        if (auto* found = findDevice())
            found->getMidiDevice().deliverWaitingMessages();
        return flushed;
    }

    // Keep-alive ticks of the pedal's driver, each followed by the pedal's answers.
    void tick (int count = 1)
    {
        for (int i = 0; i < count; ++i)
        {
            driver().timerCallback (UsbDeviceDriver::keepAliveTimerId);
            drain();
        }
    }

    void unplugAndScan()
    {
        pedal.unplug();
        getManager().scanForDevices();
    }

    void plugInAndScan()
    {
        pedal.plugIn();
        getManager().scanForDevices();
    }

    // Runs the message loop (relays, MIDI, timers), scanning for pedals and
    // bootloaders as the managers' own timers would, until done; for ASSERT_TRUE.
    ::testing::AssertionResult runUntil (const std::function<bool()>& done, int timeoutMs = (int) patience.count())
    {
        const juce::SharedResourcePointer<UsbBaseDeviceManager<UsbBootDevice>> bootManager;

        return waitUntil ("the condition, running the message loop and scanning for pedals", done,
                          std::chrono::milliseconds (timeoutMs), [this, &bootManager]
                          {
                              bootManager->scanForDevices();
                              getManager().scanForDevices();
                              juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
                          });
    }

    // Deletes what no audio thread can reach any more, once none can; for ASSERT_TRUE.
    ::testing::AssertionResult releaseRetired (int timeoutMs = (int) patience.count())
    {
        auto& retired = getManager().getRetiredObjects();

        return waitUntil ("the audio threads to let go of the retired pedal objects", [&retired]
                          {
                              retired.releaseSafeObjects();
                              return retired.getNumPending() == 0;
                          },
                          std::chrono::milliseconds (timeoutMs));
    }

    // A frame as the plug-in sends it once the pedal has answered: its id and slot.
    static Bytes frame (uint8_t group, uint8_t command, Bytes payload = {}, uint8_t id = pedalId, int slot = pedalSlot)
    {
        return bytesOf (Sysex::buildFrame (id, group, slot, command, payload.data(), (int) payload.size()));
    }

    // What the pedal received, in order, without the keep-alives its driver's
    // timer sends every second while connected: any wait that runs the message
    // loop may span one on a slow machine. Count those with keepAlivesReceived.
    std::vector<Bytes> receivedBesidesKeepAlives() const
    {
        std::vector<Bytes> found;
        for (auto& message : pedal.getReceivedMessages())
        {
            const auto parsed = SysexMessage::parse (message.data(), (int) message.size());
            if (! (parsed.valid && parsed.group == Sysex::SystemGroup && parsed.command == Sysex::KeepAlive))
                found.push_back (message);
        }
        return found;
    }

    // The frames of this group among those, in order.
    std::vector<Bytes> receivedInGroup (uint8_t group) const
    {
        auto found = receivedBesidesKeepAlives();
        found.erase (std::remove_if (found.begin(), found.end(), [group] (const Bytes& message)
        {
            const auto parsed = SysexMessage::parse (message.data(), (int) message.size());
            return ! (parsed.valid && parsed.group == group);
        }), found.end());
        return found;
    }

    int keepAlivesReceived() const { return pedal.countReceived (Sysex::SystemGroup, Sysex::KeepAlive); }

    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    EmulatedPedal pedal { ports, audioTypes, pedalName, pedalId };

private:
    std::unique_ptr<juce::SharedResourcePointer<Manager>> manager;
};
