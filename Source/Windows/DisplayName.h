#pragma once

#include <optional>
#include <string>

// What an X display name (the DISPLAY variable) asks for: [host]:display[.screen].
// Xlib reads the screen with strtoul into an int, so "-1" and "4294967295"
// both become screen -1, which the framework then uses to index the server's
// screens. Here only a plain decimal number is a screen.
class DisplayName
{
public:
    // The screen the name asks for (0 when it names none), or nothing when it
    // names no display: empty, without ':', or with a display or screen that is
    // not a plain decimal number of at most nine digits.
    static std::optional<int> screenOf (const std::string& name);
};
