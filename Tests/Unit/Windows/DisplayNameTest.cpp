#include "Windows/DisplayName.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace
{
struct NameCase
{
    const char* name;
    std::optional<int> screen;
};

// Xlib would take every refused one but the empty and the unreadable ones,
// the signed and wrapped ones as screen -1 or 1.
const NameCase nameCases[] = {
    { ":7", 0 },
    { ":7.0", 0 },
    { ":7.1", 1 },
    { ":7.01", 1 },
    { "unix:7.2", 2 },
    { "localhost:10.3", 3 },
    { "tcp/host.example:0.1", 1 },
    { ":7.999999999", 999999999 },
    { "", std::nullopt },
    { "7", std::nullopt },
    { ":", std::nullopt },
    { ":7.", std::nullopt },
    { ":.1", std::nullopt },
    { ":7.-1", std::nullopt },
    { ":0.-1", std::nullopt },
    { ":7.-2147483648", std::nullopt },
    { ":7.4294967295", std::nullopt },
    { ":7.4294967297", std::nullopt },
    { ":7.1000000000", std::nullopt },
    { ":7.+1", std::nullopt },
    { ":7. 1", std::nullopt },
    { ":7.1x", std::nullopt },
    { ":-7", std::nullopt },
    { ":7x.1", std::nullopt },
};
} // namespace

TEST (DisplayName, OnlyAPlainDecimalScreenIsOne)
{
    for (const auto& c : nameCases)
        EXPECT_EQ (DisplayName::screenOf (c.name), c.screen) << '"' << c.name << '"';
}
