// Writes the firmware image the plug-in carries: the synthetic firmware that the
// emulated pedal's bootloader accepts, behind its "QZRI" header.
//   pellion-firmware-generator OUTPUT
#include "Emulation/SyntheticFirmware.h"

#include <cstdio>

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf (stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }

    const auto image = SyntheticFirmware::buildImage();
    auto* file = std::fopen (argv[1], "wb");

    if (file == nullptr)
        return 1;

    const bool written = std::fwrite (image.data(), 1, image.size(), file) == image.size();
    return (std::fclose (file) == 0 && written) ? 0 : 1;
}
