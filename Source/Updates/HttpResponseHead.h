#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>

// The head of one HTTP response, taken line by line as it arrives, and refused
// as soon as it holds more than an update needs: more header fields or bytes
// than InputLimits allows, a line before the status line or without a field
// name, a second Location, or a Location that is too long or not plain
// printable text (or is continued on a folded line). Interim (1xx) responses
// are passed over; their lines count towards the limits.
class HttpResponseHead
{
public:
    // One line as received, its line end included; false once the head is refused.
    bool addLine (const char* text, size_t size);

    bool isRefused() const noexcept { return refused; }

    // The blank line that ends the final (not 1xx) response's head has arrived.
    bool isComplete() const noexcept { return complete; }

    // The final response's status, once complete; 0 before any status line.
    int getStatusCode() const noexcept { return status; }

    // The Location field's value; empty without one.
    const juce::String& getLocation() const noexcept { return location; }

private:
    bool readStatusLine (const char* text, size_t size);
    bool readField (const char* text, size_t size);
    bool refuse();

    int fields = 0;
    size_t bytes = 0;
    int status = 0;
    bool complete = false, refused = false, locationLast = false;
    juce::String location;
};
