#include "StateFile.h"

#include "InputFile.h"
#include "KestrunAU.h"
#include "OutputFile.h"

#include <algorithm>
#include <stdexcept>
#include <string_view>

namespace
{
constexpr std::string_view magic = "VC2!";
constexpr size_t headerBytes = 8; // the magic and the text's length

std::runtime_error notAState (const std::string& path, const std::string& reason)
{
    return std::runtime_error (path + " is not a plug-in state: " + reason);
}
} // namespace

std::vector<uint8_t> readStateFile (const std::string& path)
{
    auto bytes = readInputFile (path, KAU_MAX_STATE_BYTES, "state file");

    if (bytes.size() < magic.size() || ! std::equal (magic.begin(), magic.end(), bytes.begin()))
        throw notAState (path, "it does not start with \"VC2!\"");

    if (bytes.size() < headerBytes)
        throw notAState (path, bytes.size() == magic.size()
                                   ? "it ends after \"VC2!\", with no length or text"
                                   : "it ends within the 4-byte length after \"VC2!\", with no text");

    if (bytes.size() == headerBytes)
        throw notAState (path, "it ends after its length field, with no text and no closing zero byte");

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
    return writeWholeFile (path, state);
}
