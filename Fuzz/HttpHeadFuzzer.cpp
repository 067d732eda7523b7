// Reads arbitrary bytes as the head of an update server's response, line by
// line as the HTTP client hands it over, and checks what a refused or accepted
// head may hold.
#include "Updates/HttpResponseHead.h"
#include "Utilities/InputLimits.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    HttpResponseHead head;
    const auto* text = reinterpret_cast<const char*> (data);
    bool refused = false;

    for (size_t start = 0; start < size;)
    {
        size_t end = start;
        while (end < size && text[end] != '\n')
            ++end;
        end += end < size ? 1 : 0;

        const bool accepted = head.addLine (text + start, end - start);
        // A refused head stays refused, and says so.
        if ((refused && accepted) || accepted == head.isRefused())
            __builtin_trap();

        refused = refused || ! accepted;
        start = end;
    }

    const auto& location = head.getLocation();
    if (head.isRefused() && (head.isComplete() || head.getStatusCode() != 0 || location.isNotEmpty()))
        __builtin_trap();

    if (head.isComplete() && (head.getStatusCode() < 200 || head.getStatusCode() > 599))
        __builtin_trap();

    if ((size_t) location.length() > InputLimits::httpLocationBytes)
        __builtin_trap();

    for (auto p = location.getCharPointer(); ! p.isEmpty(); ++p)
        if (*p < 0x21 || *p > 0x7e)
            __builtin_trap();

    return 0;
}
