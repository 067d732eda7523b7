#include "WavFile.h"

#include "InputFile.h"
#include "OutputFile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace
{
    constexpr uint16_t formatPcm = 1;
    constexpr uint16_t formatFloat = 3;
    constexpr uint16_t formatExtensible = 0xFFFE;

    // The tail every WAVE_FORMAT_EXTENSIBLE sub-format GUID shares after its format tag.
    constexpr uint8_t guidTail[14] = { 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                       0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71 };

    uint16_t readU16 (const uint8_t* p) { return (uint16_t) (p[0] | (p[1] << 8)); }

    uint32_t readU32 (const uint8_t* p)
    {
        return (uint32_t) p[0] | ((uint32_t) p[1] << 8) | ((uint32_t) p[2] << 16) | ((uint32_t) p[3] << 24);
    }

    void appendU16 (std::vector<uint8_t>& out, uint16_t v)
    {
        out.push_back ((uint8_t) v);
        out.push_back ((uint8_t) (v >> 8));
    }

    void appendU32 (std::vector<uint8_t>& out, uint32_t v)
    {
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back ((uint8_t) (v >> shift));
    }

    void appendTag (std::vector<uint8_t>& out, const char* tag)
    {
        out.insert (out.end(), tag, tag + 4);
    }

    std::string tagText (const uint8_t* p)
    {
        std::string text;

        for (int i = 0; i < 4; ++i)
            text += (p[i] >= 32 && p[i] < 127) ? (char) p[i] : '?';

        return text;
    }

    struct Format
    {
        uint16_t tag = 0;
        uint16_t channels = 0;
        uint32_t sampleRate = 0;
        uint16_t blockAlign = 0;
        uint16_t bits = 0;
    };

    bool parseFormat (const uint8_t* body, uint32_t size, Format& format, std::string& error)
    {
        if (size < 16)
        {
            error = "fmt chunk is too short (" + std::to_string (size) + " bytes)";
            return false;
        }

        format.tag = readU16 (body);
        format.channels = readU16 (body + 2);
        format.sampleRate = readU32 (body + 4);
        format.blockAlign = readU16 (body + 12);
        format.bits = readU16 (body + 14);

        if (format.tag == formatExtensible)
        {
            if (size < 40)
            {
                error = "extensible fmt chunk is too short (" + std::to_string (size) + " bytes)";
                return false;
            }

            if (std::memcmp (body + 26, guidTail, sizeof (guidTail)) != 0)
            {
                error = "unsupported extensible sub-format";
                return false;
            }

            format.tag = readU16 (body + 24);
        }

        const bool supported = (format.tag == formatPcm && (format.bits == 16 || format.bits == 24 || format.bits == 32))
                            || (format.tag == formatFloat && format.bits == 32);

        if (! supported)
        {
            error = "unsupported sample format (format tag " + std::to_string (format.tag)
                  + ", " + std::to_string (format.bits) + " bits)";
            return false;
        }

        if (format.channels == 0)
        {
            error = "fmt chunk declares no channels";
            return false;
        }

        if (format.sampleRate == 0)
        {
            error = "fmt chunk declares a sample rate of 0";
            return false;
        }

        if (format.blockAlign != format.channels * (format.bits / 8))
        {
            error = "fmt chunk's block size " + std::to_string (format.blockAlign)
                  + " does not match " + std::to_string (format.channels) + " channels of "
                  + std::to_string (format.bits) + " bits";
            return false;
        }

        return true;
    }

    float decodeSample (const uint8_t* p, const Format& format)
    {
        if (format.tag == formatFloat)
        {
            auto bits = readU32 (p);
            float value;
            std::memcpy (&value, &bits, sizeof (value));
            return value;
        }

        switch (format.bits)
        {
            case 16: return (float) (int16_t) readU16 (p) / 32768.0f;
            case 24:
            {
                // Shift into the top of a 32-bit word so the sign comes along.
                auto raw = (int32_t) (((uint32_t) p[0] << 8) | ((uint32_t) p[1] << 16) | ((uint32_t) p[2] << 24));
                return (float) raw / 2147483648.0f; // exact: 24 significant bits
            }
            default: return (float) ((double) (int32_t) readU32 (p) / 2147483648.0);
        }
    }
}

bool parseWav (const std::vector<uint8_t>& bytes, AudioData& audio, std::string& error)
{
    const size_t fileSize = bytes.size();

    if (fileSize < 12)
    {
        error = "file is too short to be a WAV file (" + std::to_string (fileSize) + " bytes)";
        return false;
    }

    const uint8_t* data = bytes.data();

    if (std::memcmp (data, "RIFF", 4) != 0 || std::memcmp (data + 8, "WAVE", 4) != 0)
    {
        error = "not a RIFF/WAVE file";
        return false;
    }

    const uint32_t riffSize = readU32 (data + 4);

    if (riffSize < 4 || (uint64_t) riffSize + 8 > fileSize)
    {
        error = "RIFF chunk claims " + std::to_string (riffSize) + " bytes but the file holds "
              + std::to_string (fileSize - 8);
        return false;
    }

    // Anything after the RIFF chunk is not part of the file's audio.
    const size_t end = (size_t) riffSize + 8;
    size_t position = 12;

    Format format;
    bool haveFormat = false;
    const uint8_t* sampleData = nullptr;
    uint32_t sampleBytes = 0;

    while (position < end)
    {
        if (end - position < 8)
        {
            error = "truncated chunk header at offset " + std::to_string (position);
            return false;
        }

        const uint8_t* header = data + position;
        const uint32_t chunkSize = readU32 (header + 4);
        const size_t body = position + 8;

        if (chunkSize > end - body)
        {
            error = "chunk '" + tagText (header) + "' at offset " + std::to_string (position) + " claims "
                  + std::to_string (chunkSize) + " bytes but only " + std::to_string (end - body) + " remain";
            return false;
        }

        if (std::memcmp (header, "fmt ", 4) == 0)
        {
            if (haveFormat)
            {
                error = "more than one fmt chunk";
                return false;
            }

            if (! parseFormat (data + body, chunkSize, format, error))
                return false;

            haveFormat = true;
        }
        else if (std::memcmp (header, "data", 4) == 0)
        {
            if (sampleData != nullptr)
            {
                error = "more than one data chunk";
                return false;
            }

            sampleData = data + body;
            sampleBytes = chunkSize;
        }

        // Chunks are padded to even sizes; a missing final pad byte simply ends the loop.
        position = body + chunkSize + (chunkSize & 1u);
    }

    if (! haveFormat)
    {
        error = "no fmt chunk";
        return false;
    }

    if (sampleData == nullptr)
    {
        error = "no data chunk";
        return false;
    }

    if (sampleBytes % format.blockAlign != 0)
    {
        error = "data chunk size " + std::to_string (sampleBytes) + " is not a whole number of "
              + std::to_string (format.blockAlign) + "-byte frames";
        return false;
    }

    const size_t numFrames = sampleBytes / format.blockAlign;

    if (numFrames > (size_t) INT_MAX)
    {
        error = "too many frames";
        return false;
    }

    const size_t bytesPerSample = format.bits / 8u;
    audio.sampleRate = format.sampleRate;
    audio.channels.assign (format.channels, std::vector<float> (numFrames));

    for (size_t frame = 0; frame < numFrames; ++frame)
        for (size_t channel = 0; channel < format.channels; ++channel)
            audio.channels[channel][frame] = decodeSample (sampleData + frame * format.blockAlign
                                                                      + channel * bytesPerSample, format);

    return true;
}

bool readWav (const std::string& path, AudioData& audio, std::string& error)
{
    std::vector<uint8_t> bytes;

    try
    {
        bytes = readInputFile (path, InputFileLimits::wavBytes, "WAV file");
    }
    catch (const std::runtime_error& e)
    {
        error = e.what();
        return false;
    }

    if (! parseWav (bytes, audio, error))
    {
        error = path + ": " + error;
        return false;
    }

    return true;
}

std::vector<uint8_t> encodeWav (const AudioData& audio, WavSampleFormat format, std::string& error)
{
    const auto numChannels = (size_t) audio.numChannels();
    const auto numFrames = (size_t) audio.numFrames();

    if (numChannels == 0 || numChannels > 0xFFFF)
    {
        error = "cannot write " + std::to_string (numChannels) + " channels";
        return {};
    }

    for (auto& channel : audio.channels)
    {
        if (channel.size() != numFrames)
        {
            error = "channels differ in length";
            return {};
        }
    }

    if (! (audio.sampleRate >= 1.0 && audio.sampleRate <= (double) UINT32_MAX))
    {
        error = "cannot write a sample rate of " + std::to_string (audio.sampleRate);
        return {};
    }

    const bool isFloat = format == WavSampleFormat::float32;
    const size_t bytesPerSample = isFloat ? 4 : 2;
    const size_t blockAlign = numChannels * bytesPerSample;

    // The header keeps a frame's size in 16 bits.
    if (blockAlign > 0xFFFF)
    {
        error = "cannot write " + std::to_string (numChannels) + " channels of " + std::to_string (bytesPerSample * 8)
              + "-bit samples: a WAV frame holds at most 65535 bytes";
        return {};
    }

    const uint64_t dataBytes = (uint64_t) numFrames * blockAlign;
    // Float data carries the extended fmt chunk and a fact chunk, as non-PCM formats should.
    const uint64_t headerBytes = isFloat ? 4 + (8 + 18) + (8 + 4) + 8 : 4 + (8 + 16) + 8;

    if (dataBytes + headerBytes > UINT32_MAX)
    {
        error = "audio is too long for a WAV file";
        return {};
    }

    std::vector<uint8_t> out;
    out.reserve ((size_t) (dataBytes + headerBytes + 8));

    appendTag (out, "RIFF");
    appendU32 (out, (uint32_t) (headerBytes + dataBytes));
    appendTag (out, "WAVE");

    appendTag (out, "fmt ");
    appendU32 (out, isFloat ? 18 : 16);
    appendU16 (out, isFloat ? formatFloat : formatPcm);
    appendU16 (out, (uint16_t) numChannels);
    appendU32 (out, (uint32_t) audio.sampleRate);
    // Bytes a second, which readers take as a hint only: the most the field holds where more would wrap.
    appendU32 (out, (uint32_t) std::min<uint64_t> ((uint64_t) audio.sampleRate * blockAlign, UINT32_MAX));
    appendU16 (out, (uint16_t) blockAlign);
    appendU16 (out, (uint16_t) (bytesPerSample * 8));

    if (isFloat)
    {
        appendU16 (out, 0);
        appendTag (out, "fact");
        appendU32 (out, 4);
        appendU32 (out, (uint32_t) numFrames);
    }

    appendTag (out, "data");
    appendU32 (out, (uint32_t) dataBytes);

    for (size_t frame = 0; frame < numFrames; ++frame)
    {
        for (size_t channel = 0; channel < numChannels; ++channel)
        {
            const float sample = audio.channels[channel][frame];

            if (isFloat)
            {
                uint32_t bits;
                std::memcpy (&bits, &sample, sizeof (bits));
                appendU32 (out, bits);
            }
            else
            {
                const float clipped = std::isnan (sample) ? 0.0f : std::clamp (sample, -1.0f, 1.0f);
                const auto value = (int16_t) std::clamp (std::lround (clipped * 32768.0f), -32768L, 32767L);
                appendU16 (out, (uint16_t) value);
            }
        }
    }

    return out;
}

bool writeWav (const std::string& path, const AudioData& audio, WavSampleFormat format, std::string& error)
{
    auto bytes = encodeWav (audio, format, error);

    if (bytes.empty())
        return false;

    try
    {
        writeWholeFile (path, bytes);
    }
    catch (const std::runtime_error& e)
    {
        error = e.what();
        return false;
    }

    return true;
}
