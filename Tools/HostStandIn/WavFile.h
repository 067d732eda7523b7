#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Audio as the host stand-in handles it: one vector of samples per channel.
struct AudioData
{
    double sampleRate = 48000.0;
    std::vector<std::vector<float>> channels;

    int numChannels() const { return (int) channels.size(); }
    int numFrames() const { return channels.empty() ? 0 : (int) channels.front().size(); }
};

enum class WavSampleFormat
{
    float32,
    pcm16
};

// Reads PCM 16, 24 or 32 bit or 32-bit float WAV data, any number of channels.
// Returns false with the reason in `error` for anything malformed or unsupported;
// readWav also for what is not a regular file or holds more than
// InputFileLimits::wavBytes, refused before it is read.
bool parseWav (const std::vector<uint8_t>& bytes, AudioData& audio, std::string& error);
bool readWav (const std::string& path, AudioData& audio, std::string& error);

// Writes all channels, which must have equal lengths; PCM is clipped to full scale.
// writeWav puts the file in place only when whole (OutputFile).
std::vector<uint8_t> encodeWav (const AudioData& audio, WavSampleFormat format, std::string& error);
bool writeWav (const std::string& path, const AudioData& audio, WavSampleFormat format, std::string& error);
