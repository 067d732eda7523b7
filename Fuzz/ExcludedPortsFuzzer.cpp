// Reads arbitrary bytes as the other host's list of excluded MIDI ports and
// checks the merged list: it names both ports exactly once more at most, keeps
// every non-blank line in order, has no blank line, and merges to itself.
#include "Components/Dialogs/ExcludedPortsList.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const std::string text (reinterpret_cast<const char*> (data), size);
    const std::string port = "QZR-1A2B";
    const auto merged = ExcludedPortsList::merge (text, port);

    if (! ExcludedPortsList::lists (merged, port) || ! ExcludedPortsList::lists (merged, ExcludedPortsList::bootloaderPort))
        __builtin_trap();

    if (ExcludedPortsList::merge (merged, port) != merged)
        __builtin_trap();

    const auto lines = ExcludedPortsList::splitLines (merged);
    if (std::any_of (lines.begin(), lines.end(), [] (const std::string& line)
                     { return line.find_first_not_of ("\t\n\v\f\r ") == std::string::npos; }))
        __builtin_trap();

    // The kept lines, in their order, come first.
    size_t kept = 0;
    for (const auto& line : ExcludedPortsList::splitLines (text))
        if (line.find_first_not_of ("\t\n\v\f\r ") != std::string::npos && (kept >= lines.size() || lines[kept++] != line))
            __builtin_trap();

    if (lines.size() > kept + 2)
        __builtin_trap();

    return 0;
}
