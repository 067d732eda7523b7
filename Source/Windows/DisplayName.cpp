#include "Windows/DisplayName.h"

#include <algorithm>
#include <cctype>

namespace
{
// A sign, a space, a wrap-around or an overflow is none.
std::optional<int> plainNumber (const std::string& text)
{
    const auto isDigit = [] (char c) { return std::isdigit (static_cast<unsigned char> (c)) != 0; };
    if (text.empty() || text.size() > 9 || ! std::all_of (text.begin(), text.end(), isDigit))
        return std::nullopt;

    return std::stoi (text);
}
} // namespace

std::optional<int> DisplayName::screenOf (const std::string& name)
{
    const auto colon = name.rfind (':');
    if (colon == std::string::npos)
        return std::nullopt;

    const auto numbers = name.substr (colon + 1);
    const auto dot = numbers.find ('.');
    if (! plainNumber (numbers.substr (0, dot)).has_value())
        return std::nullopt;

    return dot == std::string::npos ? 0 : plainNumber (numbers.substr (dot + 1));
}
