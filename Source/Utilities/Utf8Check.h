#pragma once

#include <cstddef>
#include <cstdint>

// Well-formed UTF-8 only: no overlong forms, surrogates, code points above
// U+10FFFF or zero bytes. Text from outside is checked with this before the
// framework decodes it, since its decoder trusts what it is given.
bool isStrictUtf8 (const uint8_t* text, size_t size) noexcept;
