// The processor's side of its pedal attachment: what it asks of it, and what
// it does with what the attachment tells.
#include "PluginProcessor.h"

#include "PluginEditor.h"
#include "Presets/PresetRecord.h"

void VelmoraAudioProcessor::setUsbDevice (juce::StringRef name, Mode mode, ChannelSetting channel, PedalModeConfig leg)
{
    attachment->attach (name, mode, channel, leg);
}

void VelmoraAudioProcessor::disconnectUsbClient()
{
    if (attachment->detach())
        audioPath->reportLatency();
}

void VelmoraAudioProcessor::sendStateToDevice()
{
    if (attachment->getDevice() == nullptr)
        return;

    const PresetFormat values (getParameters (programName), juce::String());
    attachment->sendState (makePresetRecord (currentProgram, values, presetModified, bypassParameter->get() != 0));
}

void VelmoraAudioProcessor::parameterChanged (AudioValueTreeState::Parameter* parameter, int value,
                                              int controllerNumber)
{
    // The side of the pedal that a mono use leaves idle is neither sent nor an edit.
    if (attachment->isIdleSide (*parameter))
        return;

    if (internalUpdateDepth <= 0)
        attachment->sendParameter (*parameter, value, controllerNumber);

    if (parameter->modifiesPreset() && ! presetModified && ! reportingInitialValues)
    {
        presetModified = true;
        sendChangeMessage();
    }
}

//==============================================================================
void VelmoraAudioProcessor::attachmentChanged()
{
    sendChangeMessage();
}

void VelmoraAudioProcessor::pedalAttached()
{
    audioPath->pedalAttached();
}

void VelmoraAudioProcessor::pedalLatencyChanged()
{
    audioPath->reportLatency();
}

UsbDeviceClient::ClientListener* VelmoraAudioProcessor::getEditorListener()
{
    return dynamic_cast<VelmoraAudioProcessorEditor*> (getActiveEditor());
}
