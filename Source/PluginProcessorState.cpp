// The host's state chunk: what the processor gives and what it takes back.
#include "PluginProcessor.h"

#include "Parameters/Identifiers.h"
#include "Utilities/AdvisorySection.h"
#include "Utilities/StrictXmlReader.h"

namespace
{
constexpr uint32_t stateMagic = 0x21324356;

// The state chunk's XML text: magic, length, text, a zero byte. Null for anything else.
std::unique_ptr<juce::XmlElement> decodeStateChunk (const juce::MemoryBlock& block)
{
    const auto size = block.getSize();
    if (size < 9 || size > (size_t) std::numeric_limits<int>::max())
        return nullptr;

    const auto* bytes = static_cast<const char*> (block.getData());
    if (juce::ByteOrder::littleEndianInt (bytes) != stateMagic)
        return nullptr;

    const auto length = (int) juce::ByteOrder::littleEndianInt (bytes + 4);
    if (length <= 0)
        return nullptr;

    const auto available = juce::jmin ((size_t) length, size - 8);
    return StrictXmlReader::parse (bytes + 8, available);
}
} // namespace

void VelmoraAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    valueTreeState.updateParameters();

    auto xml = valueTreeState.copyState().createXml();
    if (xml == nullptr)
        return;

    auto* preset = xml->createNewChildElement (ID::PRESET.toString());
    preset->setAttribute ("name", programName);
    preset->setAttribute ("program", currentProgram);
    preset->setAttribute ("modified", presetModified ? "1" : "0");

    if (currentDevice != nullptr && usbClient != nullptr)
    {
        auto* device = xml->createNewChildElement (ID::DEVICE.toString());
        device->setAttribute ("name", currentDevice->getName());
        device->setAttribute ("mode", currentDevice->getDriver().getState());
        device->setAttribute ("channelSetting", channelSetting);
        device->setAttribute ("pedalboardMode", usbClient->getPedalboardLeg());
    }

    destData.reset();
    copyXmlToBinary (*xml, destData);
}

void VelmoraAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    juce::MemoryBlock block (data, (size_t) sizeInBytes);

    if (isMessageThread())
    {
        setMemBlockStateInformation (block);
        return;
    }

    // A state that arrives on a host thread is applied on the message thread,
    // unless the processor is gone by then.
    juce::WeakReference<VelmoraAudioProcessor> self (this);
    juce::MessageManager::callAsync ([self, block = std::move (block)]
    {
        if (auto* processor = self.get())
            processor->setMemBlockStateInformation (block);
    });
}

void VelmoraAudioProcessor::setMemBlockStateInformation (const juce::MemoryBlock& block)
{
    jassert (isMessageThread());
    const AdvisorySection<int> bulkUpdate (internalUpdateDepth);

    auto xml = decodeStateChunk (block);
    if (xml == nullptr)
        return;

    if (stateArbiter.isOwnSnapshot (block))
        return;

    stateArbiter.hostStateArrived();

    if (! xml->getTagName().equalsIgnoreCase (juce::String (pluginName).removeCharacters (" ")))
        return;

    auto* values = new juce::DynamicObject();
    const juce::var stored (values);
    for (auto* param : xml->getChildWithTagNameIterator (ID::PARAM.toString()))
    {
        const auto id = param->getStringAttribute (ID::id.toString());
        if (id.isNotEmpty())
            values->setProperty (id, param->getStringAttribute (ID::value.toString()));
    }

    PresetFormat preset { juce::var(), juce::String() };
    preset.setProperties (stored);

    if (auto* element = xml->getChildByName (ID::PRESET.toString()))
    {
        int program = element->getIntAttribute ("program");
        const auto name = element->getStringAttribute ("name");
        const bool modified = element->getBoolAttribute ("modified");
        const bool bypass = values->hasProperty ("bypass") && values->getProperty ("bypass").toString().getIntValue() != 0;

        if (program > 0)
        {
            const bool inFirst = program <= firstPresets.size();
            const auto& list = inFirst ? firstPresets : userPresets;
            const int base = inFirst ? 1 : firstPresets.size() + 1;

            // A preset that is gone keeps the stored name and values on the
            // first program there is, never on one past the list.
            program = numPrograms.load() > 1 ? 1 : 0;
            for (int i = 0; i < list.size(); ++i)
            {
                if (list[i]->getName() == name)
                {
                    program = base + i;
                    break;
                }
            }
        }
        else
        {
            program = 0;
        }

        setProgram (&preset, program, name, modified, bypass ? 1 : 0);
    }

    if (auto* device = xml->getChildByName (ID::DEVICE.toString()))
        applyDeviceElement (*device);

    sendStateToDevice();
}

void VelmoraAudioProcessor::applyDeviceElement (const juce::XmlElement& device)
{
    const auto name = device.getStringAttribute ("name");
    const int mode = device.getIntAttribute ("mode", -100);
    const int channel = device.getIntAttribute ("channelSetting", -100);
    const int leg = device.getIntAttribute ("pedalboardMode", -100);

    // Stored by a host, so checked like anything else from outside.
    if (name.isEmpty() || UsbDevice::extractDeviceName (name) != name || ! isRequestableMode (mode)
        || ! isChannelSetting (channel) || ! isPedalboardLeg (leg))
        return;

    pendingDevice = { name, channel, mode, leg };

    // While attached, the channel setting changes only together with the client.
    if (currentDevice == nullptr)
        channelSetting = channel;

    startTimer (reconnectTimerId, reconnectDelayMs);
}
