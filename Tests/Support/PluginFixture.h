#pragma once

#include "PluginProcessor.h"

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>
#include <memory>
#include <sstream>
#include <string>

// Creates processors the way a host wrapper does, with its format recorded first.
inline std::unique_ptr<VelmoraAudioProcessor> makeProcessor (juce::AudioProcessor::WrapperType wrapper
                                                             = juce::AudioProcessor::wrapperType_Undefined)
{
    juce::PluginHostType::jucePlugInClientCurrentWrapperType = wrapper;
    juce::AudioProcessor::setTypeOfNextNewPlugin (wrapper);
    auto processor = std::make_unique<VelmoraAudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    juce::PluginHostType::jucePlugInClientCurrentWrapperType = juce::AudioProcessor::wrapperType_Undefined;
    return processor;
}

// The framework's public view of a parameter, as a host sees it.
inline juce::AudioProcessorParameter& hostView (AudioValueTreeState::Parameter* parameter)
{
    return *parameter;
}

// What a processor tells its host and what its store tells its listeners, as
// one line: "begin:4", "value:4=75" (host units) and "end:4" for the host,
// "heard:mixWet=75/-1" (value and controller number) for the store.
class ParameterLog : private juce::AudioProcessorListener, private AudioValueTreeState::Listener
{
public:
    explicit ParameterLog (AudioValueTreeState& s, juce::AudioProcessor* p = nullptr) : store (s), processor (p)
    {
        store.addListener (this);
        if (processor != nullptr)
            processor->addListener (this);
    }

    explicit ParameterLog (VelmoraAudioProcessor& p) : ParameterLog (p.getValueTreeState(), &p) {}

    ~ParameterLog() override
    {
        if (processor != nullptr)
            processor->removeListener (this);
        store.removeListener (this);
    }

    // What was logged since the last take.
    std::string take()
    {
        const auto logged = text.str();
        text.str ({});
        return logged;
    }

private:
    void audioProcessorParameterChanged (juce::AudioProcessor* p, int index, float value) override
    {
        auto* parameter = dynamic_cast<juce::AudioParameterInt*> (p->getParameters()[index]);
        text << "value:" << index << "=" << juce::roundToInt (parameter->convertFrom0to1 (value)) << " ";
    }

    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override { text << "begin:" << index << " "; }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override { text << "end:" << index << " "; }

    void parameterChanged (AudioValueTreeState::Parameter* parameter, int value, int controllerNumber) override
    {
        text << "heard:" << parameter->getParameterID() << "=" << value << "/" << controllerNumber << " ";
    }

    AudioValueTreeState& store;
    juce::AudioProcessor* processor;
    std::ostringstream text;
};

// A processor made for that wrapper, with what it tells its host and its store's listeners logged.
struct ObservedProcessor
{
    explicit ObservedProcessor (juce::AudioProcessor::WrapperType wrapper = juce::AudioProcessor::wrapperType_Undefined)
        : processor (makeProcessor (wrapper)), store (processor->getValueTreeState())
    {
    }

    AudioValueTreeState::Parameter* param (const char* id) { return store.getParameter (id); }

    std::unique_ptr<VelmoraAudioProcessor> processor;
    AudioValueTreeState& store;
    ParameterLog log { *processor };
};
