#include "Parameters/AudioValueTreeState.h"

#include "Parameters/Identifiers.h"
#include "Utilities/SafeNumbers.h"

namespace
{
juce::AudioParameterIntAttributes makeAttributes (AudioValueTreeState::Parameter::Definition& definition)
{
    auto attributes = juce::AudioParameterIntAttributes()
                          .withLabel (definition.label)
                          .withCategory (definition.category)
                          .withAutomatable (definition.automatable)
                          .withMeta (definition.meta);

    if (definition.valueToText != nullptr)
        attributes = attributes.withStringFromValueFunction (std::move (definition.valueToText));

    if (definition.textToValue != nullptr)
        attributes = attributes.withValueFromStringFunction (std::move (definition.textToValue));

    return attributes;
}

// The framework's message thread, asked once: its own check takes a lock.
juce::Thread::ThreadID currentMessageThread()
{
    if (juce::MessageManager::existsAndIsCurrentThread())
        return juce::Thread::getCurrentThreadId();

    if (auto* messageManager = juce::MessageManager::getInstanceWithoutCreating())
        return messageManager->getCurrentMessageThread();

    return nullptr;
}
} // namespace

//==============================================================================
AudioValueTreeState::Parameter::Parameter (Definition definition)
    : juce::AudioParameterInt (juce::ParameterID { definition.id, 1 },
                               definition.name,
                               definition.minimum,
                               definition.maximum,
                               definition.defaultValue,
                               makeAttributes (definition)),
      metaParameter (definition.meta),
      automatable (definition.automatable),
      discrete (definition.discrete),
      boolean (definition.boolean),
      presetRelevant (definition.modifiesPreset),
      controllerNumber (definition.controllerNumber)
{
}

AudioValueTreeState::Parameter::~Parameter()
{
    if (store != nullptr)
        store->forgetParameter (this);
}

int AudioValueTreeState::Parameter::getNumSteps() const
{
    const auto& range = getNormalisableRange();

    if (range.interval <= 0.0f)
        return std::numeric_limits<int>::max();

    return (int) ((range.end - range.start) / range.interval) + 1;
}

void AudioValueTreeState::Parameter::valueChanged (int)
{
    if (valueChangedCallback != nullptr)
        valueChangedCallback();
}

void AudioValueTreeState::Parameter::set (int value, GestureTracker::ParameterChangeSource source)
{
    const auto normalised = convertTo0to1 ((float) value);

    GestureTracker::GestureState* gesture = nullptr;

    if (store != nullptr)
        gesture = store->gestureTracker.getOrCreateGestureState (this, source);

    if (gesture != nullptr)
    {
        if (gesture->isHolding())
        {
            gesture->holdValue (normalised);
            return;
        }

        setValueNotifyingHost (normalised);
        return;
    }

    if (static_cast<const juce::AudioProcessorParameter&> (*this).getValue() == normalised)
        return;

    setValueNotifyingHost (normalised);
}

void AudioValueTreeState::Parameter::setLink (Parameter* left, Parameter* right, int linkNumber)
{
    jassert (isBoolean());
    jassert (linkControllerNumber == -1);

    auto link = [this, linkNumber] (Parameter* side, Parameter* partner)
    {
        jassert (side != nullptr && partner != nullptr);
        if (side == nullptr || partner == nullptr)
            return;

        jassert (side->linkSwitch == nullptr);
        side->linkSwitch = this;
        side->linkPartner = partner;
        side->linkControllerNumber = linkNumber;
    };

    link (left, right);
    link (right, left);
}

//==============================================================================
AudioValueTreeState::AudioValueTreeState (const juce::String& pluginName, const juce::String& pluginVersion)
    : state (juce::Identifier (pluginName.removeCharacters (" ")))
{
    messageThread.record (currentMessageThread());
    state.setProperty (ID::version, pluginVersion, nullptr);
    state.addListener (this);
    startTimer (initialFlushIntervalMs);
}

AudioValueTreeState::~AudioValueTreeState()
{
    stopTimer();
    listeners.clear();

    // Host parameters outlive the store: make sure none of them calls back into it.
    for (auto* parameter : parameters)
    {
        parameter->valueChangedCallback = nullptr;
        parameter->store = nullptr;
    }

    parameters.clear();
    state.removeListener (this);
}

void AudioValueTreeState::forgetParameter (Parameter* parameter)
{
    parameters.removeFirstMatchingValue (parameter);
}

void AudioValueTreeState::addParameter (Parameter* parameter)
{
    jassert (parameter != nullptr);
    if (parameter == nullptr)
        return;

    // A host's audio thread may change a value: the flush timer picks it up.
    parameter->valueChangedCallback = [this, parameter]
    {
        if (isMessageThread())
            updateParameter (parameter);
    };

    juce::ValueTree child (ID::PARAM);
    child.setProperty (ID::id, parameter->getParameterID(), nullptr);
    child.setProperty (ID::value, parameter->get(), nullptr);
    state.appendChild (child, nullptr);

    parameter->store = this;
    parameter->state = child;
    parameters.add (parameter);

    if (parameter->isAutomatable())
        gestureTracker.addParameter (parameter);
}

void AudioValueTreeState::addListener (Listener* listener)
{
    listeners.add (listener);
}

void AudioValueTreeState::removeListener (Listener* listener)
{
    listeners.remove (listener);
}

AudioValueTreeState::Parameter* AudioValueTreeState::findParameter (juce::StringRef identifier) const
{
    for (auto* parameter : parameters)
        if (parameter->getParameterID() == identifier)
            return parameter;

    return nullptr;
}

AudioValueTreeState::Parameter* AudioValueTreeState::getParameter (juce::StringRef identifier) const
{
    auto* parameter = findParameter (identifier);
    jassert (parameter != nullptr);
    return parameter;
}

juce::Value AudioValueTreeState::getParameterAsValue (juce::StringRef identifier) const
{
    auto child = state.getChildWithProperty (ID::id, juce::String (identifier));
    jassert (child.isValid());
    return child.getPropertyAsValue (ID::value, nullptr);
}

juce::ValueTree AudioValueTreeState::copyState()
{
    jassert (isMessageThread());
    updateParameters();
    return state.createCopy();
}

bool AudioValueTreeState::updateParameters()
{
    bool changed = false;

    for (auto* parameter : parameters)
        changed = updateParameter (parameter) || changed;

    listeners.call ([&changed] (Listener& listener) { changed = listener.updateExtraParameters() || changed; });

    return changed;
}

bool AudioValueTreeState::updateParameter (Parameter* parameter)
{
    jassert (isMessageThread());

    if (linkUpdateDepth > 0 || parameter == nullptr)
        return false;

    const int value = parameter->get();

    if (value == parameter->treeValue)
        return false;

    parameter->treeValue = value;
    parameter->state.setPropertyExcludingListener (this, ID::value, value, nullptr);

    int number = parameter->controllerNumber;
    auto* linkSwitch = parameter->linkSwitch;
    auto* partner = parameter->linkPartner;

    if (! isApplyingPedalMessage() && ! isApplyingPreset() && linkSwitch != nullptr && linkSwitch->get() != 0
        && partner != nullptr)
    {
        jassert (partner->linkControllerNumber == parameter->linkControllerNumber);

        const AdvisorySection<int> mirroring (linkUpdateDepth);
        number = parameter->linkControllerNumber;

        if (partner->treeValue != value)
        {
            partner->treeValue = value;
            partner->set (value, GestureTracker::internalSource);
            partner->state.setPropertyExcludingListener (this, ID::value, value, nullptr);
        }
    }

    listeners.call ([&] (Listener& listener) { listener.parameterChanged (parameter, value, number); });

    return true;
}

int AudioValueTreeState::nextFlushInterval (int currentInterval, bool changed) noexcept
{
    if (changed)
        return 20;

    if (currentInterval < 30)
        return 50;

    return juce::jmin (currentInterval, 480) + 20;
}

void AudioValueTreeState::timerCallback()
{
    const bool changed = updateParameters();
    startTimer (nextFlushInterval (getTimerInterval(), changed));
}

void AudioValueTreeState::valueTreePropertyChanged (juce::ValueTree& tree, const juce::Identifier&)
{
    auto* parameter = findParameter (tree[ID::id].toString());

    if (parameter == nullptr)
    {
        jassertfalse;
        return;
    }

    // A foreign writer may store anything; a value that is no finite number moves nothing.
    const auto& value = tree[ID::value];
    if (value.isDouble() && ! std::isfinite ((double) value))
        return;

    parameter->set (SafeNumbers::varToInt (value), GestureTracker::internalSource);
}
