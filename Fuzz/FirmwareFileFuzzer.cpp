// Reads arbitrary bytes as a downloaded firmware archive and as a firmware
// update file (a dropped ".syx" file or an archive's entry), and checks that a
// file that loads is a whole firmware, exactly its messages back to back.
#include "Devices/FirmwareImage.h"
#include "FuzzSupport.h"
#include "Updates/FirmwareArchive.h"
#include "Updates/FirmwareUpdateController.h"
#include "Devices/BootloaderFrame.h"
#include "Updates/FirmwareUpdateFile.h"
#include "Utilities/InputLimits.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace
{
uint8_t commandOf (const juce::MidiMessageMetadata& event)
{
    return event.numBytes > BootloaderFrame::commandPosition ? event.data[BootloaderFrame::commandPosition] : 0;
}

void checkSplit (const juce::MemoryBlock& bytes)
{
    juce::MidiBuffer buffer;
    const bool loaded = FirmwareUpdateController::loadBuffer (buffer, bytes);

    juce::MidiBuffer again;
    if (loaded != (FirmwareUpdateFile::split (bytes, again) == FirmwareUpdateFile::Problem::none) || loaded == buffer.isEmpty())
        __builtin_trap();

    if (! loaded)
        return;

    size_t position = 0;
    uint8_t last = 0;
    for (const auto event : buffer)
    {
        if (event.numBytes != BootloaderFrame::lengthOf (commandOf (event)) || event.data[0] != 0xF0
            || event.data[event.numBytes - 1] != 0xF7
            || std::memcmp (event.data, static_cast<const uint8_t*> (bytes.getData()) + position, (size_t) event.numBytes) != 0)
            __builtin_trap();

        // Begin first, end last.
        if ((position == 0) != (commandOf (event) == BootloaderFrame::begin))
            __builtin_trap();

        position += (size_t) event.numBytes;
        last = commandOf (event);
    }

    if (position != bytes.getSize() || last != BootloaderFrame::end)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    initialiseFramework();

    juce::MemoryBlock updateFile;
    const auto outcome = FirmwareArchive::extractUpdateFile (data, size, updateFile);

    if ((outcome == FirmwareArchive::Outcome::extracted) == updateFile.isEmpty() || updateFile.getSize() > InputLimits::firmwareFileBytes)
        __builtin_trap();

    checkSplit (updateFile);
    checkSplit ({ data, size });
    juce::ignoreUnused (FirmwareImage::readVersion (data, size));
    return 0;
}
