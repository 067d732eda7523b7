#include "Utilities/Utf8Check.h"

size_t strictUtf8SequenceLength (const uint8_t* text, size_t size) noexcept
{
    if (size == 0)
        return 0;

    const uint8_t lead = text[0];

    if (lead == 0)
        return 0;

    if (lead < 0x80)
        return 1;

    size_t extra;
    uint32_t code, minimum;

    if ((lead & 0xE0) == 0xC0)      { extra = 1; code = lead & 0x1Fu; minimum = 0x80; }
    else if ((lead & 0xF0) == 0xE0) { extra = 2; code = lead & 0x0Fu; minimum = 0x800; }
    else if ((lead & 0xF8) == 0xF0) { extra = 3; code = lead & 0x07u; minimum = 0x10000; }
    else return 0;

    if (size <= extra)
        return 0;

    for (size_t k = 1; k <= extra; ++k)
    {
        const uint8_t next = text[k];
        if ((next & 0xC0) != 0x80)
            return 0;

        code = (code << 6) | (next & 0x3Fu);
    }

    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;

    return extra + 1;
}

bool isStrictUtf8 (const uint8_t* text, size_t size) noexcept
{
    for (size_t i = 0; i < size;)
    {
        const auto length = strictUtf8SequenceLength (text + i, size - i);
        if (length == 0)
            return false;

        i += length;
    }

    return true;
}

std::string replaceInvalidUtf8 (const uint8_t* text, size_t size)
{
    static constexpr char replacement[] = "\xEF\xBF\xBD";

    std::string result;
    result.reserve (size);

    for (size_t i = 0; i < size;)
    {
        const auto length = strictUtf8SequenceLength (text + i, size - i);

        if (length == 0)
        {
            result.append (replacement, 3);
            ++i;
            continue;
        }

        result.append (reinterpret_cast<const char*> (text + i), length);
        i += length;
    }

    return result;
}
