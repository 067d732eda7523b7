#pragma once

#include <juce_core/juce_core.h>

// A downloaded firmware archive: a ZIP archive with exactly one entry whose
// name, lower-cased, ends in ".syx" (folders included in the name; other
// entries are ignored). That entry is the firmware update file.
namespace FirmwareArchive
{
enum class Outcome
{
    extracted,
    archiveNotValid, // not a ZIP archive, unsafe entry names, no ".syx" entry or several, or the
                     // entry's records disagree with each other or with its data (sizes, CRC-32)
    contentNotValid  // the entry is empty, encrypted, compressed in another way, or too large
};

// The update file on success; an empty block otherwise.
Outcome extractUpdateFile (const void* archive, size_t size, juce::MemoryBlock& updateFile);
} // namespace FirmwareArchive
