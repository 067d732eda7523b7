// Reads arbitrary text as a pedal's settings file into a settings tree and
// checks that every setting comes out within its allowed values.
#include "Devices/UsbDeviceManager.h"
#include "FuzzSupport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    initialiseFramework();

    juce::ValueTree tree (ID::DEVICE);
    DeviceSettings settings (tree);

    UsbBaseDeviceManager<UsbDevice>::readSettingsText (reinterpret_cast<const char*> (data), size, tree);

    const int blockSize = settings.blockSize.get();
    if (! BlockSizeConstrainer::allowedValues().contains (blockSize))
        __builtin_trap();

    if (settings.outAdjust.get() < 0 || settings.outAdjust.get() > 2 || settings.inAdjust.get() < 0
        || settings.inAdjust.get() > 2 || settings.extraLatency.get() < 0 || settings.extraLatency.get() > 9999)
        __builtin_trap();

    return 0;
}
