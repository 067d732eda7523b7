// Reads arbitrary bytes as a downloaded firmware archive and as a firmware
// update file (a dropped ".syx" file or an archive's entry), and checks that a
// file that loads is exactly its messages, back to back.
#include "Devices/FirmwareImage.h"
#include "FuzzSupport.h"
#include "Updates/FirmwareArchive.h"
#include "Updates/FirmwareUpdateController.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace
{
void checkSplit (const juce::MemoryBlock& bytes)
{
    juce::MidiBuffer buffer;
    if (! FirmwareUpdateController::loadBuffer (buffer, bytes))
    {
        if (! buffer.isEmpty())
            __builtin_trap();
        return;
    }

    size_t position = 0;
    for (const auto event : buffer)
    {
        if (event.numBytes < 2 || event.data[0] != 0xF0 || event.data[event.numBytes - 1] != 0xF7
            || std::memcmp (event.data, static_cast<const uint8_t*> (bytes.getData()) + position, (size_t) event.numBytes) != 0)
            __builtin_trap();

        position += (size_t) event.numBytes;
    }

    if (position != bytes.getSize())
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    initialiseFramework();

    juce::MemoryBlock updateFile;
    const auto outcome = FirmwareArchive::extractUpdateFile (data, size, updateFile);

    if ((outcome == FirmwareArchive::Outcome::extracted) == updateFile.isEmpty())
        __builtin_trap();

    checkSplit (updateFile);
    checkSplit ({ data, size });
    juce::ignoreUnused (FirmwareImage::readVersion (data, size));
    return 0;
}
