#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

// Opens and closes host change gestures around pedal and editor changes.
// Inside the Audio Unit wrapper the first 80 ms of a gesture hold values back
// and deliver only the latest when the hold ends. Message thread only.
class GestureTracker
{
public:
    enum ParameterChangeSource
    {
        unknownSource = 0,
        internalSource = 1,
        pedalSource = 2,
        editorSource = 3
    };

    static constexpr int gestureTimeoutMs = 300;
    static constexpr int holdMs = 80;

    class GestureState : public juce::MultiTimer
    {
    public:
        enum TimerIds
        {
            timeoutTimerId = 0,
            holdTimerId = 1
        };

        GestureState (juce::AudioProcessorParameter& parameter, bool holdFirstValue);
        ~GestureState() override;

        void timerCallback (int timerId) override;

        // Parks a value while the gesture's hold lasts; the hold timer delivers it.
        void holdValue (float normalisedValue) noexcept;

        bool isHolding() const noexcept { return holding; }
        juce::AudioProcessorParameter& getParameter() const noexcept { return parameter; }

    private:
        friend class GestureTracker;

        void open();
        void close();

        int timeoutMs = gestureTimeoutMs;
        juce::AudioProcessorParameter& parameter;
        ParameterChangeSource source = unknownSource;
        bool holdFirstValue;
        bool holding = false;
        bool valuePending = false;
        bool endPending = false;
        float pendingValue = 0.0f;
        bool ended = true;
    };

    GestureTracker() = default;
    ~GestureTracker();

    // Registers an automatable parameter; a second registration adds nothing.
    void addParameter (juce::AudioProcessorParameter* parameter);

    // The parameter's state while a gesture is open for this change, otherwise null.
    GestureState* getOrCreateGestureState (juce::AudioProcessorParameter* parameter, ParameterChangeSource source);

    // Mouse up: ends an editor gesture, or marks it to end once a held value is out.
    void endGesture (juce::AudioProcessorParameter* parameter, ParameterChangeSource source);

    GestureState* findState (const juce::AudioProcessorParameter* parameter) const;

    // True when values are held for the first 80 ms of a gesture: only inside the
    // Audio Unit wrapper, which records its format before it creates the processor.
    static bool wrapperHoldsFirstValue();

private:
    juce::OwnedArray<GestureState> states;

    JUCE_DECLARE_NON_COPYABLE (GestureTracker)
};
