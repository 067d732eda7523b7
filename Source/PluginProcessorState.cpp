// The host's state chunk: what the processor gives and what it takes back, on
// whatever thread the host asks.
#include "PluginProcessor.h"

#include "Parameters/Identifiers.h"
#include "Utilities/AdvisorySection.h"
#include "Utilities/SafeNumbers.h"

namespace
{
bool isOwnRootTag (const juce::String& tag)
{
    return tag.equalsIgnoreCase (juce::String (VelmoraAudioProcessor::pluginName).removeCharacters (" "));
}

// A readable chunk of this plug-in's, else nothing. Anything else is refused
// whole: it neither frees the start-up snapshot nor counts as a host state, so
// a pedal attached later is still asked for its settings, not overwritten.
std::optional<StateChunk::Decoded> decodeOwn (const void* data, size_t size)
{
    auto decoded = StateChunk::decode (data, size);
    if (decoded && ! isOwnRootTag (decoded->rootTag))
        decoded.reset();
    return decoded;
}
} // namespace

void VelmoraAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    if (! isMessageThread())
    {
        // A flush would run listeners and may send to the pedal from this thread:
        // the chunk is what the message thread published, with the pedal as now.
        auto contents = publishedState.read();
        contents.device = attachment->describeForOtherThreads();
        destData = StateChunk::encode (contents);
        return;
    }

    applyPendingStates();
    valueTreeState.updateParameters();
    destData = StateChunk::encode (currentContents());
}

void VelmoraAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    const juce::MemoryBlock block (data, (size_t) sizeInBytes);

    if (isMessageThread())
    {
        applyPendingStates();
        setMemBlockStateInformation (block);
        return;
    }

    // Decoded here, applied on the message thread in arrival order; until then a
    // host reading the state back reads what it set.
    auto decoded = decodeOwn (block.getData(), block.getSize());
    if (! decoded || stateArbiter.isOwnSnapshot (block))
        return;

    publishedState.addPending (expectedRestore (std::move (*decoded)));

    juce::WeakReference<VelmoraAudioProcessor> self (this);
    juce::MessageManager::callAsync ([self]
    {
        if (auto* processor = self.get())
            processor->applyPendingStates();
    });
}

bool VelmoraAudioProcessor::takesState (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return false;

    return decodeOwn (data, (size_t) sizeInBytes).has_value();
}

void VelmoraAudioProcessor::setMemBlockStateInformation (const juce::MemoryBlock& block)
{
    jassert (isMessageThread());

    const auto decoded = decodeOwn (block.getData(), block.getSize());
    if (! decoded || stateArbiter.isOwnSnapshot (block))
        return;

    applyDecodedState (*decoded);
}

void VelmoraAudioProcessor::applyPendingStates()
{
    if (applyingPendingStates)
        return;

    const juce::ScopedValueSetter<bool> applying (applyingPendingStates, true);

    while (const auto next = publishedState.peekNext())
    {
        applyDecodedState (next->decoded);
        publishedState.completeNext (currentContents());
    }
}

void VelmoraAudioProcessor::applyDecodedState (const StateChunk::Decoded& decoded)
{
    const AdvisorySection<int> bulkUpdate (internalUpdateDepth);
    stateArbiter.hostStateArrived();

    // The values come from the state, never from the preset list.
    if (const auto& stored = decoded.program)
        setProgram (&decoded.presetValues, StateChunk::findProgram (*stored, firstPresets, userPresets), stored->name,
                    stored->modified, decoded.bypass ? 1 : 0);

    if (decoded.device)
        applyDeviceElement (*decoded.device);

    sendStateToDevice();
}

void VelmoraAudioProcessor::applyDeviceElement (const StateChunk::Device& device)
{
    pendingDevice = { device.name, device.channelSetting, device.mode, device.pedalboardMode };

    attachment->restoreChannelSetting (device.channelSetting);

    startTimer (reconnectTimerId, reconnectDelayMs);
}

PublishedState::Pending VelmoraAudioProcessor::expectedRestore (StateChunk::Decoded decoded) const
{
    PublishedState::Pending pending;

    // What applyDecodedState will set: the program, its stored values (each
    // clamped to its parameter's range, as setting it does), "preset" and "bypass".
    if (decoded.program)
    {
        const auto& stored = *decoded.program;
        const int program = StateChunk::findProgram (stored, firstPresets, userPresets);
        const auto& values = decoded.presetValues.getProperties();

        for (auto* parameter : valueTreeState.getParameters())
        {
            const juce::Identifier id (parameter->getParameterID());
            int value;

            if (values.hasProperty (id))
                value = decoded.presetValues.getValue (id);
            else if (parameter == bypassParameter)
                value = decoded.bypass ? 1 : 0;
            else if (parameter == presetParameter)
                value = program != 0 ? 1 : 0;
            else
                continue;

            const auto& range = parameter->getRange();
            pending.values.emplace_back (id.toString(), juce::jlimit (range.getStart(), range.getEnd(), value));
        }

        pending.program = StateChunk::Program { stored.name, program, stored.modified };
    }

    pending.decoded = std::move (decoded);
    return pending;
}

StateChunk::Contents VelmoraAudioProcessor::currentContents() const
{
    const auto& tree = valueTreeState.getState();
    StateChunk::Contents contents;
    contents.rootTag = tree.getType().toString();
    contents.version = tree[ID::version].toString();

    for (auto* parameter : valueTreeState.getParameters())
        contents.parameters.emplace_back (parameter->getParameterID(), SafeNumbers::varToInt (parameter->getState()[ID::value]));

    contents.program = { programName, currentProgram, presetModified };

    contents.device = attachment->describe();

    return contents;
}

void VelmoraAudioProcessor::publishState()
{
    auto contents = currentContents();
    contents.device.reset();
    publishedState.publish (std::move (contents));
}

void VelmoraAudioProcessor::StatePublisher::parameterChanged (Parameter*, int, int)
{
    // A bulk update publishes once, when it is whole.
    if (processor.internalUpdateDepth <= 0)
        processor.publishState();
}
