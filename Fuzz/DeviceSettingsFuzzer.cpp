// Reads arbitrary text as a pedal's settings file into a settings tree, checks
// that every setting comes out within its allowed values, and that what is
// saved of the tree reads back as the same tree.
#include "FuzzSupport.h"
#include "Settings/DeviceSettings.h"
#include "Settings/DeviceSettingsFiles.h"
#include "Settings/SettingsIdentifiers.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    initialiseFramework();
    failOnFrameworkAssertions();
    static const auto folder = scratchFolder();

    juce::ValueTree tree (ID::DEVICE);
    DeviceSettings settings (tree);

    if (! DeviceSettingsFiles::readText (reinterpret_cast<const char*> (data), size, tree))
    {
        if (tree.getNumProperties() != 0)
            __builtin_trap();
        return 0;
    }

    if (! BlockSizeConstrainer::allowedValues().contains (settings.blockSize.get())
        || ! BufferSizeConstrainer::allowedValues().contains (settings.outAdjust.get())
        || ! BufferSizeConstrainer::allowedValues().contains (settings.inAdjust.get())
        || settings.extraLatency.get() < 0 || settings.extraLatency.get() > 9999)
        __builtin_trap();

    DeviceSettingsFiles files;
    files.setFolder (folder.getFullPathName() + "/");
    files.save ("QZR-0000", tree, true);

    juce::ValueTree reread (ID::DEVICE);
    if (! files.load ("QZR-0000", reread))
        __builtin_trap();

    if (tree.getNumProperties() == 0 ? files.fileFor ("QZR-0000").exists() : ! reread.isEquivalentTo (tree))
        __builtin_trap();

    files.fileFor ("QZR-0000").deleteFile();
    return 0;
}
