#pragma once

#include "PluginProcessor.h"

#include <gtest/gtest.h>
#include <juce_audio_processors/juce_audio_processors.h>
#include <memory>

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

// Runs the message loop for a while, so that real timers and async calls fire.
inline void runMessageLoop (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

// Records what the store reports to its listeners.
struct RecordingListener : AudioValueTreeState::Listener
{
    struct Call
    {
        juce::String id;
        int value;
        int controllerNumber;

        bool operator== (const Call& other) const
        {
            return id == other.id && value == other.value && controllerNumber == other.controllerNumber;
        }
    };

    void parameterChanged (AudioValueTreeState::Parameter* parameter, int value, int controllerNumber) override
    {
        calls.push_back ({ parameter->getParameterID(), value, controllerNumber });
    }

    std::vector<Call> calls;
};

inline std::ostream& operator<< (std::ostream& os, const RecordingListener::Call& call)
{
    return os << "{" << call.id << ", " << call.value << ", " << call.controllerNumber << "}";
}

// Records what the processor tells its host.
struct HostRecorder : juce::AudioProcessorListener
{
    enum Kind { valueChanged, gestureBegin, gestureEnd };

    struct Event
    {
        Kind kind;
        int index;
        float value;
    };

    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        events.push_back ({ valueChanged, index, value });
    }

    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override
    {
        events.push_back ({ gestureBegin, index, 0.0f });
    }

    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override
    {
        events.push_back ({ gestureEnd, index, 0.0f });
    }

    int count (Kind kind, int index) const
    {
        int n = 0;
        for (auto& e : events)
            n += (e.kind == kind && e.index == index) ? 1 : 0;
        return n;
    }

    std::vector<Event> events;
};

// A processor made for that wrapper, with what it tells its host and what its
// store tells its listeners recorded.
class ObservedProcessor
{
public:
    explicit ObservedProcessor (juce::AudioProcessor::WrapperType wrapper)
        : processor (makeProcessor (wrapper)), store (processor->getValueTreeState())
    {
        processor->addListener (&host);
        store.addListener (&stored);
    }

    ~ObservedProcessor()
    {
        store.removeListener (&stored);
        processor->removeListener (&host);
    }

    AudioValueTreeState::Parameter* param (const char* id) { return store.getParameter (id); }
    GestureTracker& tracker() { return store.getGestureTracker(); }
    GestureTracker::GestureState* state (const char* id) { return tracker().findState (param (id)); }

    std::unique_ptr<VelmoraAudioProcessor> processor;
    AudioValueTreeState& store;
    HostRecorder host;
    RecordingListener stored;
};
