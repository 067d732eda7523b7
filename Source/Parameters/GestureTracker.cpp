#include "Parameters/GestureTracker.h"

GestureTracker::GestureState::GestureState (juce::AudioProcessorParameter& p, bool hold)
    : parameter (p), holdFirstValue (hold)
{
}

GestureTracker::GestureState::~GestureState()
{
    // A gesture still open when the store goes away is closed, so the host never
    // keeps a begin without its end.
    if (! ended)
        close();

    stopTimer (timeoutTimerId);
    stopTimer (holdTimerId);
}

void GestureTracker::GestureState::open()
{
    holding = false;
    valuePending = false;
    endPending = false;
    pendingValue = 0.0f;
    ended = false;

    parameter.beginChangeGesture();

    if (holdFirstValue)
    {
        holding = true;
        startTimer (holdTimerId, holdMs);
    }
}

void GestureTracker::GestureState::close()
{
    parameter.endChangeGesture();
    stopTimer (timeoutTimerId);
    stopTimer (holdTimerId);
    holding = false;
    valuePending = false;
    endPending = false;
    ended = true;
}

void GestureTracker::GestureState::holdValue (float normalisedValue) noexcept
{
    pendingValue = normalisedValue;
    valuePending = true;
    endPending = false;
}

void GestureTracker::GestureState::timerCallback (int timerId)
{
    if (timerId == holdTimerId)
    {
        stopTimer (holdTimerId);
        holding = false;

        if (valuePending)
        {
            valuePending = false;
            parameter.setValueNotifyingHost (pendingValue);

            if (endPending)
                close();
        }
    }
    else if (timerId == timeoutTimerId)
    {
        stopTimer (timeoutTimerId);

        if (! ended)
            close();
    }
}

GestureTracker::~GestureTracker()
{
    for (int i = states.size(); --i >= 0;)
        states.remove (i);
}

bool GestureTracker::wrapperHoldsFirstValue()
{
    return juce::PluginHostType::getPluginLoadedAs() == juce::AudioProcessor::wrapperType_AudioUnit;
}

void GestureTracker::addParameter (juce::AudioProcessorParameter* parameter)
{
    jassert (parameter != nullptr);
    if (parameter == nullptr)
        return;

    if (findState (parameter) != nullptr)
    {
        jassertfalse;
        return;
    }

    states.add (new GestureState (*parameter, wrapperHoldsFirstValue()));
}

GestureTracker::GestureState* GestureTracker::findState (const juce::AudioProcessorParameter* parameter) const
{
    for (auto* state : states)
        if (&state->parameter == parameter)
            return state;

    return nullptr;
}

GestureTracker::GestureState* GestureTracker::getOrCreateGestureState (juce::AudioProcessorParameter* parameter,
                                                                        ParameterChangeSource source)
{
    jassert (parameter != nullptr);
    if (parameter == nullptr)
        return nullptr;

    if ((source == pedalSource || source == editorSource) && parameter->isAutomatable())
    {
        auto* state = findState (parameter);
        jassert (state != nullptr);
        if (state == nullptr)
            return nullptr;

        if (state->ended)
            state->open();

        state->source = source;

        if (source == pedalSource)
            state->startTimer (GestureState::timeoutTimerId, state->timeoutMs);
        else
            state->stopTimer (GestureState::timeoutTimerId);

        return state;
    }

    if (auto* state = findState (parameter))
        if (! state->ended)
            state->close();

    return nullptr;
}

void GestureTracker::endGesture (juce::AudioProcessorParameter* parameter, ParameterChangeSource source)
{
    jassert (parameter != nullptr);
    auto* state = findState (parameter);

    if (state == nullptr || state->ended || state->source != source || source != editorSource)
        return;

    state->endPending = state->valuePending;

    if (! state->valuePending)
        state->close();
}
