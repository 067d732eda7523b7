#include "Utilities/Utf8Check.h"

bool isStrictUtf8 (const uint8_t* text, size_t size) noexcept
{
    size_t i = 0;

    while (i < size)
    {
        const uint8_t lead = text[i];

        if (lead == 0)
            return false;

        if (lead < 0x80)
        {
            ++i;
            continue;
        }

        int extra;
        uint32_t code, minimum;

        if ((lead & 0xE0) == 0xC0)      { extra = 1; code = lead & 0x1Fu; minimum = 0x80; }
        else if ((lead & 0xF0) == 0xE0) { extra = 2; code = lead & 0x0Fu; minimum = 0x800; }
        else if ((lead & 0xF8) == 0xF0) { extra = 3; code = lead & 0x07u; minimum = 0x10000; }
        else return false;

        if (size - i <= (size_t) extra)
            return false;

        for (int k = 1; k <= extra; ++k)
        {
            const uint8_t next = text[i + (size_t) k];
            if ((next & 0xC0) != 0x80)
                return false;

            code = (code << 6) | (next & 0x3Fu);
        }

        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;

        i += (size_t) extra + 1;
    }

    return true;
}
