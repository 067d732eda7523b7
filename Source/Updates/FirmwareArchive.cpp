#include "Updates/FirmwareArchive.h"

#include "Utilities/InputLimits.h"
#include "Utilities/SafeZipFile.h"

namespace FirmwareArchive
{
Outcome extractUpdateFile (const void* archive, size_t size, juce::MemoryBlock& updateFile)
{
    updateFile.reset();

    auto zip = SafeZipFile::open (archive, size);
    if (zip == nullptr)
        return Outcome::archiveNotValid;

    int found = -1;
    for (int i = 0; i < zip->getNumEntries(); ++i)
    {
        if (! zip->getEntry (i)->filename.toLowerCase().endsWith (".syx"))
            continue;

        if (found >= 0)
            return Outcome::archiveNotValid;

        found = i;
    }

    if (found < 0)
        return Outcome::archiveNotValid;

    switch (SafeZipFile::readEntry (archive, size, found, updateFile, InputLimits::firmwareFileBytes))
    {
        case SafeZipFile::Entry::damaged: return Outcome::archiveNotValid;
        case SafeZipFile::Entry::unsupported:
        case SafeZipFile::Entry::tooLarge: return Outcome::contentNotValid;
        case SafeZipFile::Entry::read: break;
    }

    if (updateFile.isEmpty())
        return Outcome::contentNotValid;

    return Outcome::extracted;
}
} // namespace FirmwareArchive
