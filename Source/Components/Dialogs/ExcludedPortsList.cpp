#include "Components/Dialogs/ExcludedPortsList.h"

#include <algorithm>

namespace ExcludedPortsList
{
namespace
{
bool isBlank (const std::string& line)
{
    return line.find_first_not_of ("\t\n\v\f\r ") == std::string::npos;
}
} // namespace

std::vector<std::string> splitLines (const std::string& text)
{
    std::vector<std::string> lines;

    for (size_t start = 0; start < text.size();)
    {
        auto end = text.find ('\n', start);
        if (end == std::string::npos)
            end = text.size();

        auto line = text.substr (start, end - start);
        if (end < text.size() && ! line.empty() && line.back() == '\r')
            line.pop_back();

        lines.push_back (std::move (line));
        start = end + 1;
    }

    return lines;
}

bool lists (const std::string& text, const std::string& portName)
{
    const auto lines = splitLines (text);
    return std::find (lines.begin(), lines.end(), portName) != lines.end();
}

std::string merge (const std::string& text, const std::string& portName)
{
    auto lines = splitLines (text);
    lines.erase (std::remove_if (lines.begin(), lines.end(), isBlank), lines.end());

    for (const auto& name : { portName, std::string (bootloaderPort) })
        if (! name.empty() && std::find (lines.begin(), lines.end(), name) == lines.end())
            lines.push_back (name);

    std::string merged;
    for (size_t i = 0; i < lines.size(); ++i)
        merged += (i > 0 ? "\r\n" : "") + lines[i];

    return merged;
}
} // namespace ExcludedPortsList
