#pragma once

#include <stdexcept>
#include <string>

// What a helper that hands out a reference looked for. When it is missing the
// test ends with this message (the framework reports the exception), rather
// than the whole test program with a null dereference.
template <typename Type>
Type& found (Type* object, const std::string& what)
{
    if (object == nullptr)
        throw std::runtime_error ("missing: " + what);

    return *object;
}
