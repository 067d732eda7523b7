#pragma once

#include "Parameters/AudioValueTreeState.h"
#include "Parameters/Identifiers.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

// A widget without a style of its own.
struct NullLookAndFeel
{
};

// Owns one widget of the face together with its style object. The widget is
// made after its style and destroyed before it.
template <typename C, typename LAF>
class ComponentWrapper
{
public:
    ComponentWrapper() : lookAndFeel (std::make_unique<LAF>()), component (std::make_unique<C>()) {}

    virtual ~ComponentWrapper()
    {
        component.reset();
        lookAndFeel.reset();
    }

    // Shows the widget as the parent's last child, then lets the wrapper finish.
    virtual void addToParent (juce::Component* parent)
    {
        if (component != nullptr && parent != nullptr)
            parent->addAndMakeVisible (component.get());
        postInit();
    }

    virtual void postInit() {}

    C& operator*() const noexcept { return *component; }
    C* operator->() const noexcept { return component.get(); }
    C* get() const noexcept { return component.get(); }
    LAF& getStyle() const noexcept { return *lookAndFeel; }

protected:
    std::unique_ptr<LAF> lookAndFeel;
    std::unique_ptr<C> component;

    JUCE_DECLARE_NON_COPYABLE (ComponentWrapper)
};

// A widget bound to one parameter through a slider or button attachment.
template <typename C, typename Attachment, typename LAF>
class ComponentWrapperWithAttachment : public ComponentWrapper<C, LAF>
{
public:
    ~ComponentWrapperWithAttachment() override { attachment.reset(); }

    void attachToParameter (AudioValueTreeState& state, const juce::String& parameterID)
    {
        jassert (attachment == nullptr);
        jassert (this->component != nullptr);
        if (this->component != nullptr)
            attachment = std::make_unique<Attachment> (state, parameterID, *this->component);
    }

protected:
    std::unique_ptr<Attachment> attachment;
};

// A widget that follows one parameter's stored value; changes arrive through
// the message loop, never inside the change itself.
template <typename C, typename LAF>
class ComponentWrapperWithValue : public ComponentWrapper<C, LAF>,
                                  public juce::Value::Listener
{
public:
    ~ComponentWrapperWithValue() override { value.removeListener (this); }

    // A parameter id that names no parameter leaves the widget unbound, in its first state.
    virtual void attachToParameter (AudioValueTreeState& state, const juce::String& parameterID)
    {
        auto* parameter = state.getParameter (parameterID);
        if (parameter == nullptr)
            return;

        auto tree = parameter->getState();
        value.referTo (tree.getPropertyAsValue (ID::value, nullptr));
        value.addListener (this);
        valueChanged (value);
    }

    void valueChanged (juce::Value&) override = 0;

protected:
    juce::Value value;
};
