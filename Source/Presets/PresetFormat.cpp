#include "Presets/PresetFormat.h"
#include "Utilities/DirectoryListing.h"
#include "Utilities/JsonCheck.h"
#include "Utilities/SafeFileReader.h"
#include "Utilities/SafeNumbers.h"
#include "Utilities/Utf8Check.h"

#include <cstdint>

namespace
{
juce::var makeDefaultObject (const juce::var& name)
{
    auto* object = new juce::DynamicObject();
    juce::var result (object);

    object->setProperty (PresetFormat::nameKey(), name);
    for (const auto& key : PresetFormat::presetKeys())
        object->setProperty (key, PresetFormat::defaultValue (key));

    return result;
}

juce::var cloneObject (const juce::var& source)
{
    if (auto* object = source.getDynamicObject())
        return juce::var (object->clone().get());

    return {};
}
} // namespace

//==============================================================================
const juce::Identifier& PresetFormat::nameKey()
{
    static const juce::Identifier key ("name");
    return key;
}

const juce::Identifier& PresetFormat::adcLinkKey() { return presetKeys()[0]; }
const juce::Identifier& PresetFormat::adcLKey() { return presetKeys()[1]; }
const juce::Identifier& PresetFormat::adcRKey() { return presetKeys()[2]; }
const juce::Identifier& PresetFormat::dacLinkKey() { return presetKeys()[3]; }
const juce::Identifier& PresetFormat::dacLKey() { return presetKeys()[4]; }
const juce::Identifier& PresetFormat::dacRKey() { return presetKeys()[5]; }

const std::array<juce::Identifier, PresetFormat::numKeys>& PresetFormat::presetKeys()
{
    static const std::array<juce::Identifier, numKeys> keys { "adcLink", "adcL", "adcR", "dacLink",
                                                               "dacL",    "dacR", "mixWet" };
    return keys;
}

int PresetFormat::defaultValue (const juce::Identifier& key) noexcept
{
    return (key == adcLinkKey() || key == dacLinkKey()) ? defaultLink : defaultLevel;
}

//==============================================================================
PresetFormat::PresetFormat (const juce::var& source, const juce::String& name)
{
    auto* object = source.getDynamicObject();

    if (name.isNotEmpty())
        properties = makeDefaultObject (name);
    else if (object != nullptr && object->hasProperty (nameKey()))
        properties = makeDefaultObject (object->getProperty (nameKey()));
    else
        properties = makeDefaultObject ("None");

    if (object == nullptr)
        return;

    auto* own = properties.getDynamicObject();
    for (const auto& key : presetKeys())
        if (object->hasProperty (key))
            own->setProperty (key, object->getProperty (key));
}

PresetFormat::PresetFormat (const PRESET& record, const juce::String& name)
{
    juce::String recordName;

    if (name.isEmpty())
    {
        // Seven bits only, so a hostile record cannot produce invalid text.
        char text[PRESET::nameLength + 1] = {};
        for (int i = 0; i < PRESET::nameLength; ++i)
        {
            const auto c = static_cast<char> (record.bytes[(size_t) PRESET::nameOffset + (size_t) i] & 0x7F);
            if (c == 0)
                break;
            text[i] = c;
        }
        recordName = juce::String (juce::CharPointer_ASCII (text));
    }

    properties = makeDefaultObject (name.isNotEmpty() ? name : recordName);

    auto* own = properties.getDynamicObject();
    own->setProperty (adcLKey(), (int) record.bytes[PRESET::adcLOffset]);
    own->setProperty (adcRKey(), (int) record.bytes[PRESET::adcROffset]);
    own->setProperty (dacLKey(), (int) record.bytes[PRESET::dacLOffset]);
    own->setProperty (dacRKey(), (int) record.bytes[PRESET::dacROffset]);
}

PresetFormat::PresetFormat (const PresetFormat& other) : properties (cloneObject (other.properties)) {}

PresetFormat& PresetFormat::operator= (const PresetFormat& other)
{
    if (this != &other)
        properties = cloneObject (other.properties);

    return *this;
}

void PresetFormat::setProperties (const juce::var& source)
{
    auto* object = source.getDynamicObject();
    auto* own = properties.getDynamicObject();

    if (object == nullptr || own == nullptr)
        return;

    const auto& ownProperties = own->getProperties();
    for (int i = 0; i < ownProperties.size(); ++i)
    {
        const auto key = ownProperties.getName (i);
        if (object->hasProperty (key))
            own->setProperty (key, object->getProperty (key));
    }
}

juce::String PresetFormat::getName() const
{
    return properties[nameKey()].toString();
}

int PresetFormat::getValue (const juce::Identifier& key) const noexcept
{
    return toInt (properties[key]);
}

int PresetFormat::toInt (const juce::var& value) noexcept
{
    return SafeNumbers::varToInt (value);
}

//==============================================================================
PresetFormat PresetFormat::fromFileText (const juce::String& text, const juce::String& name)
{
    const auto parsed = JsonCheck::isSafeToParse (text, maximumNesting) ? juce::JSON::parse (text) : juce::var();

    PresetFormat preset (juce::var(), name);
    auto* own = preset.properties.getDynamicObject();
    own->setProperty (nameKey(), name);

    if (auto* object = parsed.getDynamicObject())
        for (const auto& key : presetKeys())
            if (object->hasProperty (key))
                own->setProperty (key, object->getProperty (key));

    return preset;
}

PresetFormat PresetFormat::fromFileData (const void* data, size_t numBytes, const juce::String& name)
{
    auto* bytes = static_cast<const uint8_t*> (data);

    if (bytes == nullptr || numBytes > maximumFileBytes)
        return fromFileText ({}, name);

    if (numBytes >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
    {
        bytes += 3;
        numBytes -= 3;
    }

    if (! isStrictUtf8 (bytes, numBytes))
        return fromFileText ({}, name);

    return fromFileText (juce::String::fromUTF8 (reinterpret_cast<const char*> (bytes), (int) numBytes), name);
}

void PresetFormat::loadUserPresets (const juce::File& folder, juce::OwnedArray<PresetFormat>& into)
{
    into.clear();
    PresetFormatElementComparator comparator;

    for (const auto& entry : DirectoryListing::regularFiles (folder, "*.zvk"))
    {
        const auto name = entry.file.getFileNameWithoutExtension().substring (0, maximumNameLength);

        juce::MemoryBlock contents;
        SafeFileReader::read (entry.file, contents, maximumFileBytes);

        into.addSorted (comparator, new PresetFormat (fromFileData (contents.getData(), contents.getSize(), name)));
    }
}

//==============================================================================
int PresetFormatElementComparator::compareElements (const PresetFormat* first, const PresetFormat* second)
{
    return first->getName().compareIgnoreCase (second->getName());
}
