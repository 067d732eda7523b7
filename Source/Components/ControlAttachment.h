#pragma once

#include "Parameters/AudioValueTreeState.h"
#include "Parameters/Identifiers.h"

#include <juce_gui_basics/juce_gui_basics.h>

// Binds an editor control to one parameter in both directions and brackets the
// user's mouse interaction with a host gesture.
template <typename ControlType>
class AudioValueTreeState::ControlAttachment : public ControlType::Listener,
                                               public juce::ValueTree::Listener,
                                               public juce::MouseListener
{
public:
    ~ControlAttachment() override
    {
        state.removeListener (this);
        control.removeMouseListener (this);
        control.removeListener (this);
    }

    virtual void setControlValue (int value, juce::NotificationType notification) = 0;
    virtual int getControlValue() const = 0;

    void valueTreePropertyChanged (juce::ValueTree& tree, const juce::Identifier&) override
    {
        setControlValue ((int) tree[ID::value], juce::dontSendNotification);
    }

    void mouseDown (const juce::MouseEvent&) override
    {
        if (parameter != nullptr)
            store.getGestureTracker().getOrCreateGestureState (parameter, GestureTracker::editorSource);
    }

    void mouseUp (const juce::MouseEvent&) override
    {
        if (parameter != nullptr)
            store.getGestureTracker().endGesture (parameter, GestureTracker::editorSource);
    }

protected:
    ControlAttachment (AudioValueTreeState& s, const juce::String& parameterID, ControlType& c)
        : control (c), store (s), parameter (s.getParameter (parameterID))
    {
        state = store.getState().getChildWithProperty (ID::id, parameterID);
        jassert (state.isValid());

        control.addListener (this);
        control.addMouseListener (this, true);
        state.addListener (this);
    }

    // Called by the concrete attachment once it is fully constructed.
    void showInitialValue()
    {
        setControlValue ((int) state[ID::value], juce::dontSendNotification);
    }

    void controlChangedByUser()
    {
        if (parameter != nullptr)
            parameter->set (getControlValue(), GestureTracker::editorSource);
    }

    ControlType& control;
    AudioValueTreeState& store;
    juce::ValueTree state;
    Parameter* parameter;

    JUCE_DECLARE_NON_COPYABLE (ControlAttachment)
};

class AudioValueTreeState::SliderAttachment : public ControlAttachment<juce::Slider>
{
public:
    SliderAttachment (AudioValueTreeState& store, const juce::String& parameterID, juce::Slider& slider);

    void sliderValueChanged (juce::Slider*) override { controlChangedByUser(); }
    void setControlValue (int value, juce::NotificationType notification) override;
    int getControlValue() const override;
};

class AudioValueTreeState::ButtonAttachment : public ControlAttachment<juce::Button>
{
public:
    ButtonAttachment (AudioValueTreeState& store, const juce::String& parameterID, juce::Button& button);

    void buttonClicked (juce::Button*) override { controlChangedByUser(); }
    void setControlValue (int value, juce::NotificationType notification) override;
    int getControlValue() const override;
};
