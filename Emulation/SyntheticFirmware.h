#pragma once

// The firmware stream that the emulated pedal's bootloader accepts. The tool
// that generates the plug-in's carried firmware image writes it, and the
// emulated bootloader checks every message against it; nothing here comes from
// a real product. No framework code, so the generator builds before the plug-in.
// The frame, the commands and their lengths are the plug-in's own (BootloaderFrame).
//
// Every message: F0, the manufacturer 00 5A 3D, the bootloader's three identity
// bytes, a command, its data bytes, F7. The last data byte is a checksum: the
// 7-bit value that makes all bytes between F0 and F7 add up to 0 modulo 128.
//
//   order              command  bytes  data before the checksum
//   first              7A       13     firmware version: major, minor, patch
//   second             7D       24     records (2 x 7 bits), blocks, records per block
//                                      (2 x 7 bits), the name "QZR-BOOT "
//   data records       7E       47     record index (2 x 7 bits), 35 firmware bytes
//   after each block   7C       15     block index, records in the block (2 x 7 bits),
//                                      the 14-bit sum of the block's firmware bytes (2 x 7 bits)
//   last               7F       10     -
// A block holds up to 256 records.
//
// The carried image: version 0.1.5, 978 records in blocks of 256, 256, 256 and
// 210, so 985 messages and 46073 bytes, behind the 16-byte "QZRI" header.

#include "Devices/BootloaderFrame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace SyntheticFirmware
{
using namespace BootloaderFrame;
using Identity = std::array<uint8_t, 3>;

constexpr Identity pedalIdentity { 0x00, 0x03, 0x51 };
constexpr int firmwareBytesPerRecord = 35;
constexpr char name[] = "QZR-BOOT "; // nine characters

constexpr int carriedRecords = 978;
constexpr uint32_t carriedVersion = 0x000105;
constexpr size_t imageHeaderBytes = 16;

constexpr int blocksFor (int records) { return (records + recordsPerBlock - 1) / recordsPerBlock; }

// The checksum byte for the bytes [first, last).
inline uint8_t checksum (const uint8_t* first, const uint8_t* last)
{
    unsigned sum = 0;
    for (; first != last; ++first)
        sum += *first;
    return (uint8_t) ((128 - (sum & 0x7F)) & 0x7F);
}

// Stand-in firmware: a fixed pattern of 7-bit bytes.
constexpr uint8_t firmwareByte (int recordIndex, int position)
{
    return (uint8_t) ((recordIndex * 37 + position * 11 + (recordIndex >> 4)) & 0x7F);
}

// zlib's CRC-32 (the IEEE 802.3 polynomial, reflected).
inline uint32_t crc32 (const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
    {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void appendMessage (std::vector<uint8_t>& out, const Identity& identity, uint8_t command,
                           std::vector<uint8_t> data)
{
    const auto start = out.size();
    out.push_back (0xF0);
    out.insert (out.end(), std::begin (maker), std::end (maker));
    out.insert (out.end(), identity.begin(), identity.end());
    out.push_back (command);
    out.insert (out.end(), data.begin(), data.end());
    out.push_back (checksum (out.data() + start + 1, out.data() + out.size()));
    out.push_back (0xF7);
}

// The bootloader messages for a firmware of this version and number of records (1 to 16383).
inline std::vector<uint8_t> buildPayload (uint32_t version, int records = carriedRecords,
                                          const Identity& identity = pedalIdentity)
{
    std::vector<uint8_t> out;
    const auto seven = [] (uint32_t v) { return (uint8_t) (v & 0x7F); };

    appendMessage (out, identity, begin, { seven (version >> 16), seven (version >> 8), seven (version) });

    std::vector<uint8_t> headerData { seven ((uint32_t) records >> 7), seven ((uint32_t) records),
                                      seven ((uint32_t) blocksFor (records)), seven (recordsPerBlock >> 7),
                                      seven (recordsPerBlock) };
    headerData.insert (headerData.end(), name, name + 9);
    appendMessage (out, identity, header, headerData);

    for (int block = 0; block < blocksFor (records); ++block)
    {
        const int first = block * recordsPerBlock;
        const int count = records - first < recordsPerBlock ? records - first : recordsPerBlock;
        uint32_t sum = 0;

        for (int r = first; r < first + count; ++r)
        {
            std::vector<uint8_t> data { seven ((uint32_t) r >> 7), seven ((uint32_t) r) };
            for (int i = 0; i < firmwareBytesPerRecord; ++i)
            {
                data.push_back (firmwareByte (r, i));
                sum += firmwareByte (r, i);
            }
            appendMessage (out, identity, record, data);
        }

        appendMessage (out, identity, blockEnd,
                       { seven ((uint32_t) block), seven ((uint32_t) count >> 7), seven ((uint32_t) count),
                         seven ((sum & 0x3FFF) >> 7), seven (sum) });
    }

    appendMessage (out, identity, end, {});
    return out;
}

// The 16-byte header ("QZRI", payload length, version, CRC-32, all little-endian) and the payload.
inline std::vector<uint8_t> buildImage (uint32_t version = carriedVersion, int records = carriedRecords)
{
    const auto payload = buildPayload (version, records);
    std::vector<uint8_t> image { 'Q', 'Z', 'R', 'I' };

    for (const uint32_t field : { (uint32_t) payload.size(), version, crc32 (payload.data(), payload.size()) })
        for (int shift = 0; shift < 32; shift += 8)
            image.push_back ((uint8_t) (field >> shift));

    image.insert (image.end(), payload.begin(), payload.end());
    return image;
}
} // namespace SyntheticFirmware
