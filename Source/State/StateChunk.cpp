#include "State/StateChunk.h"

#include "Devices/UsbDevice.h"
#include "Parameters/Identifiers.h"
#include "Utilities/SafeNumbers.h"
#include "Utilities/StrictXmlReader.h"
#include "Utilities/Utf8Check.h"

#include <algorithm>
#include <cstring>

namespace
{
const juce::Identifier bypassKey ("bypass");

// Booleans as the value tree reads them: a number other than 0, "true" or "yes".
bool readBoolean (const juce::String& text)
{
    const auto trimmed = text.trim();
    return SafeNumbers::textToInt (text) != 0 || trimmed.equalsIgnoreCase ("true") || trimmed.equalsIgnoreCase ("yes");
}

std::optional<int> readInt (const juce::XmlElement& element, const char* attribute)
{
    if (! element.hasAttribute (attribute))
        return std::nullopt;

    return SafeNumbers::textToInt (element.getStringAttribute (attribute));
}

// A "DEVICE" element is kept only whole: a pedal's name and a use that exists.
std::optional<StateChunk::Device> readDevice (const juce::XmlElement& element)
{
    const auto& name = element.getStringAttribute ("name");
    const auto mode = readInt (element, "mode");
    const auto channel = readInt (element, "channelSetting");
    const auto leg = readInt (element, "pedalboardMode");

    if (name.isEmpty() || UsbDevice::extractDeviceName (name) != name || ! mode || ! channel || ! leg)
        return std::nullopt;

    const auto use = requestableModeFromInt (*mode);
    const auto side = channelSettingFromInt (*channel);
    const auto config = pedalModeConfigFromInt (*leg);

    if (! use || ! side || ! config)
        return std::nullopt;

    return StateChunk::Device { name, *use, *side, *config };
}

// Children are told by their exact tag, as the value tree the chunk stands for
// tells its children's types apart. (The framework's lookups by name ignore
// case, and assert when that is what made them match.)
bool isTagged (const juce::XmlElement& element, const juce::Identifier& tag)
{
    return element.getTagName() == tag.toString();
}

const juce::XmlElement* firstChild (const juce::XmlElement& parent, const juce::Identifier& tag)
{
    for (const auto* child : parent.getChildIterator())
        if (isTagged (*child, tag))
            return child;

    return nullptr;
}

// The document's text: the length field cut to the data, read up to its first
// zero byte as the framework reads text, with broken UTF-8 replaced.
std::unique_ptr<juce::XmlElement> parseText (const uint8_t* bytes, size_t size)
{
    const auto length = (int32_t) juce::ByteOrder::littleEndianInt (bytes + 4);
    if (length <= 0)
        return nullptr;

    const auto* text = bytes + 8;
    auto available = std::min ((size_t) length, size - 8);
    if (const auto* zero = static_cast<const uint8_t*> (std::memchr (text, 0, available)))
        available = (size_t) (zero - text);

    const auto repaired = replaceInvalidUtf8 (text, available);
    return StrictXmlReader::parse (repaired.data(), repaired.size());
}
} // namespace

juce::MemoryBlock StateChunk::encode (const Contents& contents)
{
    juce::XmlElement root (contents.rootTag);
    root.setAttribute (ID::version, contents.version);

    for (const auto& [id, value] : contents.parameters)
    {
        auto* param = root.createNewChildElement (ID::PARAM.toString());
        param->setAttribute (ID::id, id);
        param->setAttribute (ID::value, value);
    }

    auto* preset = root.createNewChildElement (ID::PRESET.toString());
    preset->setAttribute ("name", contents.program.name);
    preset->setAttribute ("program", contents.program.index);
    preset->setAttribute ("modified", contents.program.modified ? "1" : "0");

    if (const auto& device = contents.device)
    {
        auto* element = root.createNewChildElement (ID::DEVICE.toString());
        element->setAttribute ("name", device->name);
        element->setAttribute ("mode", toInt (device->mode));
        element->setAttribute ("channelSetting", toInt (device->channelSetting));
        element->setAttribute ("pedalboardMode", toInt (device->pedalboardMode));
    }

    juce::MemoryBlock block;
    {
        juce::MemoryOutputStream out (block, false);
        out.writeInt ((int) magic);
        out.writeInt (0);
        root.writeTo (out, juce::XmlElement::TextFormat().singleLine());
        out.writeByte (0);
    }

    const auto length = juce::ByteOrder::swapIfBigEndian ((uint32_t) (block.getSize() - 9));
    block.copyFrom (&length, 4, sizeof (length));
    return block;
}

std::optional<StateChunk::Decoded> StateChunk::decode (const void* data, size_t size)
{
    if (data == nullptr || size < 9 || size > maximumBytes)
        return std::nullopt;

    const auto* bytes = static_cast<const uint8_t*> (data);
    if (juce::ByteOrder::littleEndianInt (bytes) != magic)
        return std::nullopt;

    const auto xml = parseText (bytes, size);
    if (xml == nullptr)
        return std::nullopt;

    Decoded decoded;
    decoded.rootTag = xml->getTagName();

    // Later "PARAM"s of one id win; only the ids a restore reads are kept.
    auto* stored = new juce::DynamicObject();
    const juce::var storedValues (stored);
    for (const auto* param : xml->getChildIterator())
    {
        if (! isTagged (*param, ID::PARAM))
            continue;

        const auto id = param->getStringAttribute (ID::id);
        const auto& keys = PresetFormat::presetKeys();
        const auto key = std::find_if (keys.begin(), keys.end(), [&id] (const auto& k) { return k.toString() == id; });

        if (key != keys.end())
            stored->setProperty (*key, param->getStringAttribute (ID::value));
        else if (id == bypassKey.toString())
            decoded.bypass = readBoolean (param->getStringAttribute (ID::value));
    }
    decoded.presetValues.setProperties (storedValues);

    if (const auto* preset = firstChild (*xml, ID::PRESET))
        decoded.program = Program { preset->getStringAttribute ("name").substring (0, maximumNameCharacters),
                                    readInt (*preset, "program").value_or (0),
                                    readBoolean (preset->getStringAttribute ("modified")) };

    if (const auto* device = firstChild (*xml, ID::DEVICE))
        decoded.device = readDevice (*device);

    return decoded;
}

int StateChunk::findProgram (const Program& stored, const juce::OwnedArray<PresetFormat>& firstPresets,
                             const juce::OwnedArray<PresetFormat>& userPresets)
{
    if (stored.index <= 0)
        return 0;

    const bool inFirst = stored.index <= firstPresets.size();
    const auto& list = inFirst ? firstPresets : userPresets;
    const int base = inFirst ? 1 : firstPresets.size() + 1;

    // Names are cut to 15 characters, so two presets may share one: the stored
    // index decides when it still names the stored program.
    if (const auto* atIndex = list[stored.index - base]; atIndex != nullptr && atIndex->getName() == stored.name)
        return stored.index;

    for (int i = 0; i < list.size(); ++i)
        if (list[i]->getName() == stored.name)
            return base + i;

    // A preset that is gone keeps the stored name and values on the first
    // program there is, never on one past the list.
    return firstPresets.size() + userPresets.size() > 0 ? 1 : 0;
}
