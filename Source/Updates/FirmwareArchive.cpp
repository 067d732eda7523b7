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

    if (! SafeZipFile::readEntry (*zip, found, updateFile, InputLimits::firmwareFileBytes) || updateFile.isEmpty())
    {
        updateFile.reset();
        return Outcome::contentNotValid;
    }

    return Outcome::extracted;
}
} // namespace FirmwareArchive
