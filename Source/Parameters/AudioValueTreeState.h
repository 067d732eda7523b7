#pragma once

#include "Parameters/GestureTracker.h"
#include "Utilities/AdvisorySection.h"
#include "Utilities/ThreadIdentity.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_data_structures/juce_data_structures.h>
#include <functional>

// The processor's parameter store. Every parameter lives twice: as an integer
// host parameter, and as a "PARAM" child of a value tree that the host state
// serialises and the editor's controls follow. Changes on the message thread
// reach the tree and the listeners at once; changes from other threads (host
// automation) are picked up by an adaptive flush timer.
class AudioValueTreeState : public juce::ValueTree::Listener,
                            private juce::Timer
{
public:
    class Parameter;

    class Listener
    {
    public:
        virtual ~Listener() = default;

        // A parameter's value reached the tree; controllerNumber is the pedal
        // controller to send it under (-1 for none).
        virtual void parameterChanged (Parameter* parameter, int value, int controllerNumber) = 0;

        // Lets the listener apply work that was queued off the message thread.
        virtual bool updateExtraParameters() { return false; }
    };

    class Parameter : public juce::AudioParameterInt
    {
    public:
        using ValueToText = std::function<juce::String (int value, int maximumLength)>;
        using TextToValue = std::function<int (const juce::String& text)>;

        // What a parameter is, field by field, in the order the fields are
        // declared; a row names the fields it sets and the others keep these.
        struct Definition
        {
            juce::String id;
            juce::String name;
            int controllerNumber = -1; // -1: never sent to the pedal
            int minimum = 0;
            int maximum = 127;
            int defaultValue = 0;
            bool modifiesPreset = false;
            juce::String label;
            ValueToText valueToText; // none: the decimal integer
            TextToValue textToValue; // none: the integer the text reads as
            bool automatable = false;
            bool discrete = false;
            bool boolean = false;
            juce::AudioProcessorParameter::Category category = juce::AudioProcessorParameter::genericParameter;
            bool meta = true;
        };

        explicit Parameter (Definition definition);
        ~Parameter() override;

        int getNumSteps() const override;
        bool isDiscrete() const override { return discrete; }
        bool isBoolean() const override { return boolean; }
        bool isAutomatable() const override { return automatable; }
        bool isMetaParameter() const override { return metaParameter; }

        // The one way the system's own code changes a parameter.
        void set (int value, GestureTracker::ParameterChangeSource source);

        // Called on the link switch: ties left and right together under linkNumber.
        void setLink (Parameter* left, Parameter* right, int linkNumber);

        bool modifiesPreset() const noexcept { return presetRelevant; }
        int getControllerNumber() const noexcept { return controllerNumber; }
        int getLinkControllerNumber() const noexcept { return linkControllerNumber; }
        Parameter* getLinkSwitch() const noexcept { return linkSwitch; }
        Parameter* getLinkPartner() const noexcept { return linkPartner; }
        const juce::ValueTree& getState() const noexcept { return state; }

    protected:
        void valueChanged (int newValue) override;

    private:
        friend class AudioValueTreeState;

        std::function<void()> valueChangedCallback;
        AudioValueTreeState* store = nullptr;
        juce::ValueTree state;
        bool metaParameter;
        bool automatable;
        bool discrete;
        bool boolean;
        bool presetRelevant;
        int treeValue = -10000; // outside every range, so the first update always reports
        int controllerNumber;
        int linkControllerNumber = -1;
        Parameter* linkSwitch = nullptr;
        Parameter* linkPartner = nullptr;

        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Parameter)
    };

    template <typename ControlType>
    class ControlAttachment;
    class SliderAttachment;
    class ButtonAttachment;

    // The tree's type is the plug-in name without blanks; "version" is set before
    // the store listens, so the store is not told of it.
    AudioValueTreeState (const juce::String& pluginName, const juce::String& pluginVersion);
    ~AudioValueTreeState() override;

    void addParameter (Parameter* parameter);
    void addListener (Listener* listener);
    void removeListener (Listener* listener);

    Parameter* getParameter (juce::StringRef identifier) const;
    juce::Value getParameterAsValue (juce::StringRef identifier) const;
    const juce::Array<Parameter*>& getParameters() const noexcept { return parameters; }

    // Flushes pending changes, then returns a deep copy of the tree.
    juce::ValueTree copyState();

    // One flush pass; true when anything changed.
    bool updateParameters();

    // Brings one parameter's tree value in step with its host value.
    bool updateParameter (Parameter* parameter);

    juce::ValueTree& getState() noexcept { return state; }
    const juce::ValueTree& getState() const noexcept { return state; }
    GestureTracker& getGestureTracker() noexcept { return gestureTracker; }

    // For its lifetime a message from the pedal is being applied: linked pairs
    // are not mirrored, and the processor sends nothing back to the pedal.
    struct PedalMessageSection : private AdvisorySection<int>
    {
        explicit PedalMessageSection (AudioValueTreeState& store) : AdvisorySection (store.pedalMessageDepth) {}
    };

    // For its lifetime a whole preset is being applied: each side of a linked
    // pair takes its own stored value.
    struct PresetSection : private AdvisorySection<int>
    {
        explicit PresetSection (AudioValueTreeState& store) : AdvisorySection (store.presetApplyDepth) {}
    };

    bool isApplyingPedalMessage() const noexcept { return pedalMessageDepth > 0; }
    bool isApplyingPreset() const noexcept { return presetApplyDepth > 0; }

    // Whether the caller is the message thread the store was made on; takes no
    // lock, so a host's audio thread may ask.
    bool isMessageThread() const noexcept { return messageThread.isCurrentThread(); }

    // The flush interval the timer will use next, in milliseconds.
    int getFlushInterval() const noexcept { return getTimerInterval(); }

    // Runs one flush pass as the timer would, and re-arms the timer.
    void timerCallback() override;

    void valueTreePropertyChanged (juce::ValueTree& tree, const juce::Identifier& property) override;

    static constexpr int initialFlushIntervalMs = 100;

private:
    Parameter* findParameter (juce::StringRef identifier) const;
    void forgetParameter (Parameter* parameter);
    static int nextFlushInterval (int currentInterval, bool changed) noexcept;

    ThreadIdentity messageThread;
    juce::ValueTree state;
    juce::Array<Parameter*> parameters;
    GestureTracker gestureTracker;
    juce::ListenerList<Listener> listeners; // called from the last added to the first
    int pedalMessageDepth = 0;
    int presetApplyDepth = 0;
    int linkUpdateDepth = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioValueTreeState)
};
