#include "Emulation/EmulatedBootloader.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace SF = SyntheticFirmware;

EmulatedBootloader::EmulatedBootloader (VirtualMidiPorts& midiPorts, const SF::Identity& ownIdentity)
    : ports (midiPorts), identity (ownIdentity)
{
}

EmulatedBootloader::~EmulatedBootloader()
{
    withdraw();
}

void EmulatedBootloader::publish (const juce::String& portName)
{
    withdraw();

    const std::lock_guard<std::mutex> lock (mutex);
    withdrawn = false;
    state = State::receiving;
    reason.clear();
    messages.clear();
    arrivals.clear();
    expected = SF::begin;
    version = 0;
    totalRecords = perBlock = nextRecord = block = inBlock = 0;
    blockSum = 0;

    destinationId = ports.publishOutput (portName, [this] (const juce::MidiMessage& m) { receive (m); });
    sourceId = ports.publishInput (portName);
}

void EmulatedBootloader::withdraw()
{
    // A held sender goes on first: withdrawing a port waits for its callback.
    {
        const std::lock_guard<std::mutex> lock (mutex);
        withdrawn = true;
    }
    holdChanged.notify_all();

    // A withdrawal from inside our own callback is allowed by the ports.
    ports.withdraw (mutex, sourceId, destinationId);
}

bool EmulatedBootloader::isPublished() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return destinationId.isNotEmpty();
}

juce::String EmulatedBootloader::getSourceIdentifier() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return sourceId;
}

juce::String EmulatedBootloader::getDestinationIdentifier() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return destinationId;
}

void EmulatedBootloader::setOnFlashed (FlashedCallback callback)
{
    const std::lock_guard<std::mutex> lock (mutex);
    onFlashed = std::move (callback);
}

void EmulatedBootloader::setClock (Clock newClock)
{
    const std::lock_guard<std::mutex> lock (mutex);
    clock = std::move (newClock);
}

void EmulatedBootloader::losePowerAfter (int numMessages)
{
    const std::lock_guard<std::mutex> lock (mutex);
    powerLossAfter = std::max (0, numMessages);
}

void EmulatedBootloader::holdAfter (int numMessages)
{
    {
        const std::lock_guard<std::mutex> lock (mutex);
        holdAfterMessages = std::max (0, numMessages);
    }
    holdChanged.notify_all();
}

bool EmulatedBootloader::isHolding() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return holding;
}

EmulatedBootloader::State EmulatedBootloader::getState() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return state;
}

juce::String EmulatedBootloader::getReason() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return reason;
}

uint32_t EmulatedBootloader::getFlashedVersion() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return state == State::flashed ? version : 0;
}

std::vector<EmulatedBootloader::Bytes> EmulatedBootloader::getMessages() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return messages;
}

std::vector<double> EmulatedBootloader::getArrivalTimesMs() const
{
    const std::lock_guard<std::mutex> lock (mutex);
    return arrivals;
}

//==============================================================================
void EmulatedBootloader::receive (const juce::MidiMessage& message)
{
    const auto* raw = message.getRawData();
    const Bytes bytes (raw, raw + message.getRawDataSize());

    FlashedCallback flashed;
    uint32_t flashedVersion = 0;
    bool goDark = false;
    {
        std::unique_lock<std::mutex> lock (mutex);
        // A sender let go by a withdrawal may still be sending: the ports are gone.
        if (withdrawn)
            return;

        messages.push_back (bytes);
        arrivals.push_back (clock());

        if (state != State::receiving)
            return;

        if (check (bytes))
        {
            goDark = true;
            flashed = onFlashed;
            flashedVersion = version;
        }
        else if (state == State::receiving && powerLossAfter > 0 && (int) messages.size() == powerLossAfter)
        {
            state = State::powerLost;
            reason = "power lost after " + juce::String (powerLossAfter) + " messages";
            goDark = true;
        }
        else if (state == State::receiving && holdAfterMessages > 0 && (int) messages.size() == holdAfterMessages)
        {
            holding = true;
            holdChanged.wait (lock, [this] { return holdAfterMessages == 0 || withdrawn; });
            holding = false;
        }
    }

    if (! goDark)
        return;

    withdraw();

    if (flashed)
        flashed (flashedVersion);
}

bool EmulatedBootloader::reject (const juce::String& why)
{
    state = State::rejected;
    reason = "message " + juce::String ((int) messages.size()) + ": " + why;
    return false;
}

bool EmulatedBootloader::check (const Bytes& m)
{
    const auto size = (int) m.size();

    if (size < SF::lengthOf (SF::end) || m.front() != 0xF0 || m.back() != 0xF7)
        return reject ("not a complete message");

    if (std::memcmp (m.data() + 1, SF::maker, 3) != 0)
        return reject ("another manufacturer");

    if (! std::equal (identity.begin(), identity.end(), m.begin() + 4))
        return reject ("not for this bootloader");

    if (std::any_of (m.begin() + 1, m.end() - 1, [] (uint8_t b) { return b >= 0x80; }))
        return reject ("a status byte inside");

    if (SF::checksum (m.data() + 1, m.data() + size - 1) != 0)
        return reject ("wrong checksum");

    const auto command = m[SF::commandPosition];
    if (command != expected)
        return reject ("command " + juce::String::toHexString ((int) command) + " out of order");

    if (size != SF::lengthOf (command))
        return reject ("wrong length " + juce::String (size));

    const auto* data = m.data() + SF::commandPosition + 1;
    const auto fourteen = [] (const uint8_t* p) { return (int) ((p[0] << 7) | p[1]); };

    switch (command)
    {
        case SF::begin:
            version = ((uint32_t) data[0] << 16) | ((uint32_t) data[1] << 8) | data[2];
            expected = SF::header;
            return false;

        case SF::header:
            totalRecords = fourteen (data);
            perBlock = fourteen (data + 3);
            if (totalRecords == 0 || perBlock == 0 || data[2] != (totalRecords + perBlock - 1) / perBlock
                || std::memcmp (data + 5, SF::name, 9) != 0)
                return reject ("a header that does not add up");
            expected = SF::record;
            return false;

        case SF::record:
            if (fourteen (data) != nextRecord)
                return reject ("record " + juce::String (fourteen (data)) + " instead of " + juce::String (nextRecord));
            for (int i = 0; i < SF::firmwareBytesPerRecord; ++i)
                blockSum += data[2 + i];
            ++nextRecord;
            ++inBlock;
            if (inBlock == perBlock || nextRecord == totalRecords)
                expected = SF::blockEnd;
            return false;

        case SF::blockEnd:
            if (data[0] != (block & 0x7F) || fourteen (data + 1) != inBlock || fourteen (data + 3) != (int) (blockSum & 0x3FFF))
                return reject ("block " + juce::String (block) + " does not add up");
            ++block;
            inBlock = 0;
            blockSum = 0;
            expected = nextRecord == totalRecords ? SF::end : SF::record;
            return false;

        case SF::end:
            state = State::flashed;
            return true;

        default:
            return reject ("unknown command");
    }
}
