#include "Updates/VersionFile.h"

#include "Utilities/InputLimits.h"
#include "Utilities/JsonCheck.h"
#include "Utilities/Utf8Check.h"

namespace VersionFile
{
bool read (const void* data, size_t size, juce::PropertySet& into)
{
    into.clear();

    if (data == nullptr || size == 0 || size > InputLimits::versionFileBytes
        || ! isStrictUtf8 (static_cast<const uint8_t*> (data), size))
        return false;

    const auto text = juce::String::fromUTF8 (static_cast<const char*> (data), (int) size);

    if (! JsonCheck::isSafeToParse (text, InputLimits::versionFileNesting))
        return false;

    juce::var root;
    if (juce::JSON::parse (text, root).failed())
        return false;

    auto* object = root.getDynamicObject();
    if (object == nullptr)
        return false;

    for (const auto& property : object->getProperties())
        if (property.value.isString())
            into.setValue (property.name.toString(), property.value);

    return true;
}
} // namespace VersionFile
