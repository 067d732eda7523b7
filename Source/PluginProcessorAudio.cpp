// The host's audio: preparing, block processing and bypass.
#include "PluginProcessor.h"

void VelmoraAudioProcessor::prepareToPlay (double newSampleRate, int maximumExpectedSamplesPerBlock)
{
    if (! (newSampleRate > 0.0) || maximumExpectedSamplesPerBlock <= 0)
        return;

    sampleRate = newSampleRate;
    blockSize = maximumExpectedSamplesPerBlock;
    muteGain.prepare (newSampleRate, maximumExpectedSamplesPerBlock);
    wetGain.prepare (newSampleRate, maximumExpectedSamplesPerBlock);
    prepared = true;
}

void VelmoraAudioProcessor::releaseResources()
{
    prepared = false;
}

void VelmoraAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
{
    const AudioThreadGuard::Scope inBlock (hostAudioGuard);
    midi.clear();

    // The processor does not prepare its client's audio bridge yet: audio
    // passes through, and the attached client's meters show the host's block.
    if (auto* client = audioClient.load())
        client->getPeakDetector().update (buffer);
}

void VelmoraAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer& midi)
{
    midi.clear();
}
