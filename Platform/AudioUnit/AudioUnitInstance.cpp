#include "AudioUnitInstance.h"
#include "MessageThread.h"

#include "PluginProcessor.h"
#include "Utilities/Utf8Check.h"
#include "Windows/DesktopWindow.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace
{
void copyText (const juce::String& text, char* destination, int capacity)
{
    if (destination == nullptr || capacity <= 0)
        return;

    text.copyToUTF8 (destination, (size_t) capacity);
}

template <size_t N>
void copyText (const juce::String& text, char (&destination)[N])
{
    copyText (text, destination, (int) N);
}

// A text from the host becomes a String only once it is known to be
// well-formed UTF-8: the framework's decoder trusts what it is given.
bool readHostText (const char* text, juce::String& result)
{
    const auto length = strnlen (text, KAU_MAX_TEXT_BYTES);

    if (length == KAU_MAX_TEXT_BYTES || ! isStrictUtf8 (reinterpret_cast<const uint8_t*> (text), length))
        return false;

    result = juce::String::fromUTF8 (text, (int) length);
    return true;
}

float toHostUnits (const juce::RangedAudioParameter& parameter, float normalised)
{
    return parameter.convertFrom0to1 (normalised);
}
} // namespace

//==============================================================================
AudioUnitInstance::AudioUnitInstance()
{
    juce::PluginHostType::jucePlugInClientCurrentWrapperType = juce::AudioProcessor::wrapperType_AudioUnit;
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_AudioUnit);
    processor = std::make_unique<VelmoraAudioProcessor>();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);

    // The buses are declared inactive; a host always runs both main buses.
    processor->enableAllBuses();
    processor->addListener (this);
}

AudioUnitInstance::~AudioUnitInstance()
{
    deleteEditor();
    processor->removeListener (this);

    if (prepared)
        processor->releaseResources();

    processor.reset();
}

int32_t AudioUnitInstance::dispatch (int32_t selector, void* args)
{
    switch (selector)
    {
        case KAU_GetProperty:         return getProperty (static_cast<KAUPropertyArgs*> (args));
        case KAU_SetProperty:         return setProperty (static_cast<KAUPropertyArgs*> (args));
        case KAU_GetParameterInfo:    return getParameterInfo (static_cast<KAUParameterInfoArgs*> (args));
        case KAU_GetParameter:        return getParameter (static_cast<KAUParameterArgs*> (args));
        case KAU_SetParameter:        return setParameter (static_cast<KAUParameterArgs*> (args));
        case KAU_ParameterValueToText: return valueToText (static_cast<KAUParameterTextArgs*> (args));
        case KAU_ParameterTextToValue: return textToValue (static_cast<KAUParameterTextArgs*> (args));
        case KAU_AddListener:         return addListener (static_cast<KAUListenerArgs*> (args));
        case KAU_RemoveListener:      return removeListener (static_cast<KAUListenerArgs*> (args));
        case KAU_Prepare:             return prepare (static_cast<KAUPrepareArgs*> (args));
        case KAU_Unprepare:           return unprepare();
        case KAU_Reset:               return reset();
        case KAU_Render:              return render (static_cast<KAURenderArgs*> (args));
        case KAU_GetState:            return getState (static_cast<KAUDataArgs*> (args));
        case KAU_SetState:            return setState (static_cast<KAUDataArgs*> (args));
        case KAU_GetProgramName:      return getProgramName (static_cast<KAUProgramArgs*> (args));
        case KAU_CreateEditor:        return createEditor (static_cast<KAUEditorArgs*> (args));
        case KAU_DestroyEditor:       return destroyEditor();
        case KAU_GetEditorImage:      return getEditorImage (static_cast<KAUImageArgs*> (args));
        default:                      return KAU_ErrInvalidSelector;
    }
}

//==============================================================================
int32_t AudioUnitInstance::getProperty (KAUPropertyArgs* args)
{
    if (args == nullptr)
        return KAU_ErrInvalidArgument;

    auto busChannels = [this, args] (bool isInput) -> int32_t
    {
        auto* bus = processor->getBus (isInput, args->element);
        return bus != nullptr ? bus->getNumberOfChannels() : -1;
    };

    auto busName = [this, args] (bool isInput) -> int32_t
    {
        auto* bus = processor->getBus (isInput, args->element);
        if (bus == nullptr)
            return KAU_ErrInvalidArgument;

        copyText (bus->getName(), args->text, args->textCapacity);
        return KAU_OK;
    };

    switch (args->property)
    {
        case KAU_PropName:
            copyText (processor->getName(), args->text, args->textCapacity);
            return KAU_OK;
        case KAU_PropVersion:          args->intValue = VelmoraAudioProcessor::pluginVersionCode; return KAU_OK;
        case KAU_PropInputBusCount:    args->intValue = processor->getBusCount (true); return KAU_OK;
        case KAU_PropOutputBusCount:   args->intValue = processor->getBusCount (false); return KAU_OK;
        case KAU_PropInputChannels:
        case KAU_PropOutputChannels:
            args->intValue = busChannels (args->property == KAU_PropInputChannels);
            return args->intValue < 0 ? KAU_ErrInvalidArgument : KAU_OK;
        case KAU_PropInputBusName:     return busName (true);
        case KAU_PropOutputBusName:    return busName (false);
        case KAU_PropTailSamples:
            args->intValue = (int32_t) std::lround (processor->getTailLengthSeconds() * processor->getSampleRate());
            return KAU_OK;
        case KAU_PropLatencySamples:   args->intValue = processor->getLatencySamples(); return KAU_OK;
        case KAU_PropAcceptsMidi:      args->intValue = processor->acceptsMidi() ? 1 : 0; return KAU_OK;
        case KAU_PropProducesMidi:     args->intValue = processor->producesMidi() ? 1 : 0; return KAU_OK;
        case KAU_PropHasEditor:        args->intValue = processor->hasEditor() ? 1 : 0; return KAU_OK;
        case KAU_PropParameterCount:   args->intValue = processor->getParameters().size(); return KAU_OK;
        case KAU_PropProgramCount:     args->intValue = processor->getNumPrograms(); return KAU_OK;
        case KAU_PropCurrentProgram:   args->intValue = processor->getCurrentProgram(); return KAU_OK;
        case KAU_PropBypass:           args->intValue = bypassed.load() ? 1 : 0; return KAU_OK;
        default:                       return KAU_ErrInvalidProperty;
    }
}

int32_t AudioUnitInstance::setProperty (KAUPropertyArgs* args)
{
    if (args == nullptr)
        return KAU_ErrInvalidArgument;

    switch (args->property)
    {
        case KAU_PropCurrentProgram:
            if (args->intValue < 0 || args->intValue >= processor->getNumPrograms())
                return KAU_ErrInvalidArgument;

            processor->setCurrentProgram (args->intValue);
            return KAU_OK;

        case KAU_PropBypass:
            bypassed = args->intValue != 0;
            return KAU_OK;

        default:
            return KAU_ErrInvalidProperty;
    }
}

//==============================================================================
juce::RangedAudioParameter* AudioUnitInstance::hostParameter (int32_t index) const
{
    const auto& parameters = processor->getParameters();

    if (index < 0 || index >= parameters.size())
        return nullptr;

    return dynamic_cast<juce::RangedAudioParameter*> (parameters.getUnchecked (index));
}

int32_t AudioUnitInstance::getParameterInfo (KAUParameterInfoArgs* args)
{
    if (args == nullptr)
        return KAU_ErrInvalidArgument;

    auto* parameter = hostParameter (args->index);
    if (parameter == nullptr)
        return KAU_ErrInvalidParameter;

    auto& info = args->info;
    std::memset (&info, 0, sizeof (info));
    copyText (parameter->getParameterID(), info.identifier);
    copyText (parameter->getName (63), info.name);

    const auto& range = parameter->getNormalisableRange();
    info.minValue = range.start;
    info.maxValue = range.end;
    info.defaultValue = toHostUnits (*parameter, parameter->getDefaultValue());
    info.numSteps = parameter->getNumSteps();

    info.flags = KAU_ParamFlagReadable | KAU_ParamFlagWritable;
    if (parameter->isMetaParameter())
        info.flags |= KAU_ParamFlagGlobalMeta;

    if (parameter->isDiscrete())
    {
        info.unit = parameter->isBoolean() ? KAU_UnitBoolean : KAU_UnitIndexed;
        info.flags |= KAU_ParamFlagHasText;
    }
    else
    {
        info.unit = KAU_UnitGeneric;
        info.flags |= KAU_ParamFlagRampable;
    }

    return KAU_OK;
}

int32_t AudioUnitInstance::getParameter (KAUParameterArgs* args)
{
    if (args == nullptr)
        return KAU_ErrInvalidArgument;

    auto* parameter = hostParameter (args->index);
    if (parameter == nullptr)
        return KAU_ErrInvalidParameter;

    args->value = toHostUnits (*parameter, parameter->getValue());
    return KAU_OK;
}

// Any thread. The store picks the value up at its next flush.
int32_t AudioUnitInstance::setParameter (KAUParameterArgs* args)
{
    if (args == nullptr)
        return KAU_ErrInvalidArgument;

    auto* parameter = hostParameter (args->index);
    if (parameter == nullptr)
        return KAU_ErrInvalidParameter;

    if (! std::isfinite (args->value))
        return KAU_ErrInvalidArgument;

    parameter->setValue (parameter->convertTo0to1 (args->value));
    return KAU_OK;
}

int32_t AudioUnitInstance::valueToText (KAUParameterTextArgs* args)
{
    if (args == nullptr || args->text == nullptr || args->textCapacity <= 0)
        return KAU_ErrInvalidArgument;

    auto* parameter = hostParameter (args->index);
    if (parameter == nullptr)
        return KAU_ErrInvalidParameter;

    if (! std::isfinite (args->value))
        return KAU_ErrInvalidArgument;

    const int maximumLength = args->maximumLength > 0 ? args->maximumLength : 1024;
    copyText (parameter->getText (parameter->convertTo0to1 (args->value), maximumLength),
              args->text, args->textCapacity);
    return KAU_OK;
}

int32_t AudioUnitInstance::textToValue (KAUParameterTextArgs* args)
{
    if (args == nullptr || args->text == nullptr)
        return KAU_ErrInvalidArgument;

    auto* parameter = hostParameter (args->index);
    if (parameter == nullptr)
        return KAU_ErrInvalidParameter;

    juce::String text;
    if (! readHostText (args->text, text))
        return KAU_ErrInvalidArgument;

    args->value = toHostUnits (*parameter, parameter->getValueForText (text));
    return KAU_OK;
}

//==============================================================================
int32_t AudioUnitInstance::addListener (KAUListenerArgs* args)
{
    if (args == nullptr || args->proc == nullptr)
        return KAU_ErrInvalidArgument;

    listeners.add (args->proc, args->userData);
    return KAU_OK;
}

int32_t AudioUnitInstance::removeListener (KAUListenerArgs* args)
{
    if (args == nullptr || ! listeners.remove (args->proc, args->userData))
        return KAU_ErrInvalidArgument;

    return KAU_OK;
}

void AudioUnitInstance::audioProcessorParameterChanged (juce::AudioProcessor*, int index, float newValue)
{
    if (auto* parameter = hostParameter (index))
        listeners.call (KAU_EventParameterChanged, index, toHostUnits (*parameter, newValue));
}

void AudioUnitInstance::audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index)
{
    listeners.call (KAU_EventGestureBegin, index, 0.0f);
}

void AudioUnitInstance::audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index)
{
    listeners.call (KAU_EventGestureEnd, index, 0.0f);
}

void AudioUnitInstance::audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details)
{
    if (details.latencyChanged)
        listeners.call (KAU_EventLatencyChanged, -1, (float) processor->getLatencySamples());

    if (details.programChanged || details.parameterInfoChanged)
        listeners.call (KAU_EventProgramChanged, -1, (float) processor->getCurrentProgram());
}

//==============================================================================
int32_t AudioUnitInstance::prepare (KAUPrepareArgs* args)
{
    if (args == nullptr || ! std::isfinite (args->sampleRate) || args->sampleRate < KAU_MIN_SAMPLE_RATE
        || args->sampleRate > KAU_MAX_SAMPLE_RATE || args->maximumFramesPerBlock <= 0
        || args->maximumFramesPerBlock > KAU_MAX_FRAMES_PER_BLOCK)
        return KAU_ErrInvalidArgument;

    // The render holds the processor's callback lock. Here it is taken only to
    // stop rendering and to let it go on: allocating and preparing, which may
    // take long, happen while no render can use what changes.
    if (stopRendering())
        processor->releaseResources();

    scratch.setSize (2, args->maximumFramesPerBlock);
    midi.ensureSize (256);
    processor->setRateAndBufferSizeDetails (args->sampleRate, args->maximumFramesPerBlock);
    processor->prepareToPlay (args->sampleRate, args->maximumFramesPerBlock);

    const juce::ScopedLock lock (processor->getCallbackLock());
    maximumFrames = args->maximumFramesPerBlock;
    prepared = true;
    return KAU_OK;
}

int32_t AudioUnitInstance::unprepare()
{
    if (stopRendering())
        processor->releaseResources();

    return KAU_OK;
}

bool AudioUnitInstance::stopRendering()
{
    const juce::ScopedLock lock (processor->getCallbackLock());
    return std::exchange (prepared, false);
}

int32_t AudioUnitInstance::reset()
{
    const juce::ScopedLock lock (processor->getCallbackLock());
    processor->reset();
    return KAU_OK;
}

// Host audio thread. The processor always sees its two stereo buses; a host
// with another channel count is served through a preallocated scratch buffer.
int32_t AudioUnitInstance::render (KAURenderArgs* args)
{
    if (args == nullptr || args->channels == nullptr || args->numChannels < 0
        || args->numChannels > KAU_MAX_RENDER_CHANNELS || args->numFrames < 0)
        return KAU_ErrInvalidArgument;

    for (int32_t c = 0; c < args->numChannels; ++c)
        if (args->channels[c] == nullptr)
            return KAU_ErrInvalidArgument;

    const juce::ScopedLock lock (processor->getCallbackLock());

    if (! prepared)
        return KAU_ErrNotPrepared;

    if (args->numFrames > maximumFrames)
        return KAU_ErrTooManyFrames;

    if (args->numFrames == 0)
        return KAU_OK;

    const juce::ScopedNoDenormals noDenormals;
    midi.clear();

    if (args->numChannels == 2)
    {
        juce::AudioBuffer<float> buffer (args->channels, 2, args->numFrames);
        process (buffer);
        return KAU_OK;
    }

    juce::AudioBuffer<float> buffer (scratch.getArrayOfWritePointers(), 2, args->numFrames);
    for (int c = 0; c < 2; ++c)
    {
        if (c < args->numChannels)
            buffer.copyFrom (c, 0, args->channels[c], args->numFrames);
        else
            buffer.clear (c, 0, args->numFrames);
    }

    process (buffer);

    for (int32_t c = 0; c < args->numChannels; ++c)
    {
        if (c < 2)
            juce::FloatVectorOperations::copy (args->channels[c], buffer.getReadPointer (c), args->numFrames);
        else
            juce::FloatVectorOperations::clear (args->channels[c], args->numFrames);
    }

    return KAU_OK;
}

void AudioUnitInstance::process (juce::AudioBuffer<float>& buffer)
{
    if (bypassed.load())
        processor->processBlockBypassed (buffer, midi);
    else
        processor->processBlock (buffer, midi);
}

//==============================================================================
// Any thread: hosts save and restore projects from threads of their own.
int32_t AudioUnitInstance::getState (KAUDataArgs* args)
{
    if (args == nullptr)
        return KAU_ErrInvalidArgument;

    juce::MemoryBlock chunk;
    processor->getStateInformation (chunk);

    const auto needed = (int32_t) chunk.getSize();
    const auto capacity = args->size;
    args->size = needed;

    if (args->data == nullptr)
        return KAU_OK;

    if (capacity < needed)
        return KAU_ErrBufferTooSmall;

    std::memcpy (args->data, chunk.getData(), (size_t) needed);
    return KAU_OK;
}

int32_t AudioUnitInstance::setState (KAUDataArgs* args)
{
    if (args == nullptr || args->size < 0 || args->size > KAU_MAX_STATE_BYTES
        || (args->data == nullptr && args->size > 0))
        return KAU_ErrInvalidArgument;

    // The processor ignores a chunk it cannot use; the host is told so.
    processor->setStateInformation (args->data, args->size);
    return VelmoraAudioProcessor::takesState (args->data, args->size) ? KAU_OK : KAU_ErrInvalidArgument;
}

int32_t AudioUnitInstance::getProgramName (KAUProgramArgs* args)
{
    if (args == nullptr || args->text == nullptr || args->textCapacity <= 0)
        return KAU_ErrInvalidArgument;

    if (args->index < 0 || args->index >= processor->getNumPrograms())
        return KAU_ErrInvalidArgument;

    copyText (processor->getProgramName (args->index), args->text, args->textCapacity);
    return KAU_OK;
}

//==============================================================================
int32_t AudioUnitInstance::createEditor (KAUEditorArgs* args)
{
    if (args == nullptr)
        return KAU_ErrInvalidArgument;

    if (! isPluginMessageThread())
        return KAU_ErrWrongThread;

    // A window needs a display that is named, drawable and still there;
    // without one the framework would fail inside, or use whoever's ":0" answers.
    if (editor == nullptr && args->showOnDesktop != 0 && ! DesktopWindow::isAvailable())
        return KAU_ErrNoDisplay;

    if (editor == nullptr)
    {
        editor.reset (processor->createEditorIfNeeded());

        if (editor == nullptr)
            return KAU_ErrInvalidArgument;

        if (args->showOnDesktop != 0)
        {
            // The editor makes its window through DesktopWindow: a display
            // where it cannot be made leaves the instance without an editor.
            editor->setOpaque (true);
            editor->addToDesktop (juce::ComponentPeer::windowHasTitleBar | juce::ComponentPeer::windowHasCloseButton);

            if (! editor->isOnDesktop())
            {
                deleteEditor();
                return KAU_ErrNoDisplay;
            }

            editor->setVisible (true);
            editor->toFront (true);
        }
    }

    args->width = editor->getWidth();
    args->height = editor->getHeight();
    return KAU_OK;
}

int32_t AudioUnitInstance::destroyEditor()
{
    if (! isPluginMessageThread())
        return KAU_ErrWrongThread;

    deleteEditor();
    return KAU_OK;
}

int32_t AudioUnitInstance::getEditorImage (KAUImageArgs* args)
{
    if (args == nullptr)
        return KAU_ErrInvalidArgument;

    if (! isPluginMessageThread())
        return KAU_ErrWrongThread;

    if (editor == nullptr)
        return KAU_ErrNoEditor;

    args->width = editor->getWidth();
    args->height = editor->getHeight();

    if (args->pixels == nullptr)
        return KAU_OK;

    if (args->capacity < 0 || (int64_t) args->capacity < (int64_t) args->width * args->height)
        return KAU_ErrBufferTooSmall;

    const auto image = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
    const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);

    for (int y = 0; y < args->height; ++y)
        for (int x = 0; x < args->width; ++x)
            args->pixels[(size_t) y * (size_t) args->width + (size_t) x] =
                x < image.getWidth() && y < image.getHeight() ? pixels.getPixelColour (x, y).getARGB() : 0u;

    return KAU_OK;
}

void AudioUnitInstance::deleteEditor()
{
    if (editor != nullptr)
        processor->editorBeingDeleted (editor.get());

    editor.reset();
}
