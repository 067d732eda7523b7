#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Well-formed UTF-8 only: no overlong forms, surrogates, code points above
// U+10FFFF or zero bytes. Text from outside is checked with this before the
// framework decodes it, since its decoder trusts what it is given.
bool isStrictUtf8 (const uint8_t* text, size_t size) noexcept;

// The length of the well-formed sequence that starts the text (1 to 4), or 0
// when it starts with a zero byte or anything that is not such a sequence.
size_t strictUtf8SequenceLength (const uint8_t* text, size_t size) noexcept;

// The text with each byte that does not begin a well-formed sequence replaced
// by U+FFFD, so that the result always passes isStrictUtf8. For outside text
// that is worth keeping even when a byte of it is broken.
std::string replaceInvalidUtf8 (const uint8_t* text, size_t size);
