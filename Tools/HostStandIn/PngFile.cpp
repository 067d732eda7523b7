#include "PngFile.h"

#include "OutputFile.h"

#include <zlib.h>

#include <stdexcept>

namespace
{
void putBigEndian (std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back ((uint8_t) (value >> shift));
}

// A chunk: length, type, data, and the CRC of type and data.
void putChunk (std::vector<uint8_t>& out, const char (&type)[5], const std::vector<uint8_t>& data)
{
    putBigEndian (out, (uint32_t) data.size());
    const auto typeStart = out.size();
    out.insert (out.end(), type, type + 4);
    out.insert (out.end(), data.begin(), data.end());
    const auto crc = crc32 (0L, out.data() + typeStart, (uInt) (out.size() - typeStart));
    putBigEndian (out, (uint32_t) crc);
}

std::vector<uint8_t> encodePng (int width, int height, const std::vector<uint32_t>& pixels)
{
    if (width <= 0 || height <= 0 || pixels.size() != (size_t) width * (size_t) height)
        throw std::runtime_error ("a picture of " + std::to_string (width) + " x " + std::to_string (height)
                                  + " pixels cannot hold " + std::to_string (pixels.size()));

    // Each row: filter type 0, then R G B A per pixel.
    std::vector<uint8_t> raw;
    raw.reserve ((size_t) height * ((size_t) width * 4 + 1));
    for (int y = 0; y < height; ++y)
    {
        raw.push_back (0);
        for (int x = 0; x < width; ++x)
        {
            const auto argb = pixels[(size_t) y * (size_t) width + (size_t) x];
            raw.insert (raw.end(), { (uint8_t) (argb >> 16), (uint8_t) (argb >> 8), (uint8_t) argb, (uint8_t) (argb >> 24) });
        }
    }

    auto packedSize = compressBound ((uLong) raw.size());
    std::vector<uint8_t> packed (packedSize);
    if (compress2 (packed.data(), &packedSize, raw.data(), (uLong) raw.size(), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error ("cannot compress the picture");
    packed.resize (packedSize);

    std::vector<uint8_t> header;
    putBigEndian (header, (uint32_t) width);
    putBigEndian (header, (uint32_t) height);
    header.insert (header.end(), { 8, 6, 0, 0, 0 }); // 8 bits, RGBA, deflate, no filter choice, no interlace

    std::vector<uint8_t> file { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    putChunk (file, "IHDR", header);
    putChunk (file, "IDAT", packed);
    putChunk (file, "IEND", {});

    return file;
}
} // namespace

void writePngFile (const std::string& path, int width, int height, const std::vector<uint32_t>& pixels)
{
    writeWholeFile (path, encodePng (width, height, pixels));
}
