#include "PluginProcessor.h"

#include "PluginEditor.h"
#include "Utilities/AdvisorySection.h"
#include "Utilities/Identifiers.h"
#include "Utilities/ParameterText.h"

#include <map>

namespace
{

// The parameters that a preset carries, in table order.
const char* const presetParameterIds[] = { "adcLink", "adcL", "adcR", "dacLink", "dacL", "dacR", "mixWet" };
} // namespace

//==============================================================================
VelmoraAudioProcessor::VelmoraAudioProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), false)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), false)),
      valueTreeState (pluginName, pluginVersionString)
{
    jassert (juce::MessageManager::existsAndIsCurrentThread());

    createParameters();
    valueTreeState.addListener (this);

    dacLParameter = valueTreeState.getParameter ("dacL");
    dacRParameter = valueTreeState.getParameter ("dacR");
    mixWetParameter = valueTreeState.getParameter ("mixWet");
    bypassParameter = valueTreeState.getParameter ("bypass");
}

VelmoraAudioProcessor::~VelmoraAudioProcessor()
{
    stopTimer (reconnectTimerId);
    stopTimer (updateCheckTimerId);
    valueTreeState.removeListener (this);

    // The store must never see a deleted internal parameter; host parameters are
    // deleted by the framework after the store is gone.
    ownedParameters.clear();
}

//==============================================================================
VelmoraAudioProcessor::Parameter* VelmoraAudioProcessor::adoptParameter (std::unique_ptr<Parameter> parameter)
{
    auto* raw = parameter.get();

    if (raw->isAutomatable())
        addParameter (parameter.release());
    else
        ownedParameters.add (parameter.release());

    valueTreeState.addParameter (raw);
    return raw;
}

VelmoraAudioProcessor::Parameter* VelmoraAudioProcessor::addToggleParameter (const juce::String& id,
                                                                            const juce::String& name,
                                                                            int controllerNumber,
                                                                            bool modifiesPreset,
                                                                            bool automatable)
{
    return adoptParameter (std::make_unique<Parameter> (
        id, name, controllerNumber, 0, 1, 1, modifiesPreset, juce::String(),
        [] (int value, int maximumLength) { return valueToText ((float) value, maximumLength); },
        [] (const juce::String& text) { return textToValue (text); },
        automatable, true, true));
}

VelmoraAudioProcessor::Parameter* VelmoraAudioProcessor::addLevelParameter (const juce::String& id,
                                                                           const juce::String& name,
                                                                           int controllerNumber,
                                                                           bool modifiesPreset,
                                                                           bool automatable,
                                                                           int defaultValue)
{
    return adoptParameter (std::make_unique<Parameter> (
        id, name, controllerNumber, 0, 127, defaultValue, modifiesPreset, juce::String(),
        nullptr, nullptr, automatable, false, false));
}

void VelmoraAudioProcessor::createParameters()
{
    auto* adcLink = addToggleParameter ("adcLink", "Link Stereo Input Channels", 108, true, false);
    auto* adcL = addLevelParameter ("adcL", "Input Level Left", 106, true, true, 63);
    auto* adcR = addLevelParameter ("adcR", "Input Level Right", 107, true, true, 63);
    adcLink->setLink (adcL, adcR, 105);

    auto* dacLink = addToggleParameter ("dacLink", "Link Stereo Output Channels", 115, true, false);
    auto* dacL = addLevelParameter ("dacL", "Output Level Left", 113, true, true, 63);
    auto* dacR = addLevelParameter ("dacR", "Output Level Right", 114, true, true, 63);
    dacLink->setLink (dacL, dacR, 112);

    addLevelParameter ("mixWet", "Dry/wet balance", -1, true, true, 63);
    addLevelParameter ("channelSetting", "Device Channel Setting", -1, false, false, 2);
    addToggleParameter ("bypass", "Bypass", 110, false, true);
    addLevelParameter ("preset", "Preset", -1, false, false, 0);
}

//==============================================================================
void VelmoraAudioProcessor::prepareToPlay (double newSampleRate, int maximumExpectedSamplesPerBlock)
{
    if (! (newSampleRate > 0.0) || maximumExpectedSamplesPerBlock <= 0)
        return;

    sampleRate = newSampleRate;
    blockSize = maximumExpectedSamplesPerBlock;
    muteGain.prepare (sampleRate, blockSize);
    wetGain.prepare (sampleRate, blockSize);
    prepared = true;
}

void VelmoraAudioProcessor::releaseResources()
{
    prepared = false;
}

void VelmoraAudioProcessor::processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer& midi)
{
    // Audio passes through unchanged until a pedal carries it.
    midi.clear();
}

void VelmoraAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer& midi)
{
    midi.clear();
}

juce::AudioProcessorEditor* VelmoraAudioProcessor::createEditor()
{
    return new VelmoraAudioProcessorEditor (*this);
}

//==============================================================================
int VelmoraAudioProcessor::getNumPrograms()
{
    return 1;
}

int VelmoraAudioProcessor::getCurrentProgram()
{
    return currentProgram;
}

void VelmoraAudioProcessor::setCurrentProgram (int index)
{
    if (index < 0 || index >= getNumPrograms())
        return;

    currentProgram = index;
}

const juce::String VelmoraAudioProcessor::getProgramName (int index)
{
    return index == 0 ? juce::String ("Default") : juce::String();
}

void VelmoraAudioProcessor::changeProgramName (int, const juce::String&)
{
}

//==============================================================================
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

    destData.reset();
    copyXmlToBinary (*xml, destData);
}

void VelmoraAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 0)
        return;

    juce::MemoryBlock block (data, (size_t) sizeInBytes);

    if (juce::MessageManager::existsAndIsCurrentThread())
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
    jassert (juce::MessageManager::existsAndIsCurrentThread());
    const AdvisorySection<std::atomic<int>> bulkUpdate (internalUpdateDepth);

    if (block.getSize() > (size_t) std::numeric_limits<int>::max())
        return;

    auto xml = getXmlFromBinary (block.getData(), (int) block.getSize());
    if (xml == nullptr)
        return;

    if (! xml->getTagName().equalsIgnoreCase (juce::String (pluginName).removeCharacters (" ")))
        return;

    auto* preset = xml->getChildByName (ID::PRESET.toString());
    if (preset == nullptr)
        return;

    // A later PARAM with the same id wins.
    std::map<juce::String, juce::String> stored;
    for (auto* param : xml->getChildWithTagNameIterator (ID::PARAM.toString()))
        stored[param->getStringAttribute (ID::id.toString())] = param->getStringAttribute (ID::value.toString());

    auto storedValue = [&stored] (const char* id, int fallback)
    {
        const auto found = stored.find (id);
        return found != stored.end() ? found->second.getIntValue() : fallback;
    };

    for (auto* id : presetParameterIds)
    {
        auto* parameter = valueTreeState.getParameter (id);
        parameter->set (storedValue (id, parameter->getDefaultInt()),
                        GestureTracker::internalSource);
    }

    bypassParameter->set (storedValue ("bypass", 0) != 0 ? 1 : 0, GestureTracker::internalSource);
}

//==============================================================================
void VelmoraAudioProcessor::parameterChanged (AudioValueTreeState::Parameter*, int, int)
{
}

bool VelmoraAudioProcessor::updateExtraParameters()
{
    return false;
}

void VelmoraAudioProcessor::timerCallback (int)
{
    jassert (juce::MessageManager::existsAndIsCurrentThread());
}
