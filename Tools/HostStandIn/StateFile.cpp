#include "StateFile.h"

#include "KestrunAU.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace
{
constexpr size_t headerBytes = 8;

std::runtime_error notAState (const std::string& path, const std::string& reason)
{
    return std::runtime_error (path + " is not a plug-in state: " + reason);
}
} // namespace

std::vector<uint8_t> readStateFile (const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size (path, error);

    if (error || ! std::filesystem::is_regular_file (path))
        throw std::runtime_error ("cannot read state file " + path);

    if (size > (uintmax_t) KAU_MAX_STATE_BYTES)
        throw notAState (path, "it is larger than " + std::to_string (KAU_MAX_STATE_BYTES) + " bytes");

    std::vector<uint8_t> bytes ((size_t) size);
    std::ifstream file (path, std::ios::binary);
    file.read (reinterpret_cast<char*> (bytes.data()), (std::streamsize) bytes.size());

    if (! file || file.gcount() != (std::streamsize) bytes.size())
        throw std::runtime_error ("cannot read state file " + path);

    if (bytes.size() <= headerBytes || std::memcmp (bytes.data(), "VC2!", 4) != 0)
        throw notAState (path, "it does not start with \"VC2!\"");

    const uint32_t length = bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) | ((uint32_t) bytes[7] << 24);

    const auto textBytes = bytes.size() - headerBytes - 1;

    if (length != textBytes)
        throw notAState (path, "its length field says " + std::to_string (length) + " bytes of text, but it holds "
                                   + std::to_string (textBytes));

    if (bytes.back() != 0)
        throw notAState (path, "it does not end with a zero byte");

    return bytes;
}

std::string writeStateFile (const std::string& path, const std::vector<uint8_t>& state)
{
    std::ofstream file (path, std::ios::binary | std::ios::trunc);
    file.write (reinterpret_cast<const char*> (state.data()), (std::streamsize) state.size());
    file.close();

    if (! file)
        throw std::runtime_error ("cannot write state file " + path);

    return std::filesystem::absolute (path).lexically_normal().string();
}
