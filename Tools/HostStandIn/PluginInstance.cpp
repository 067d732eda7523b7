#include "PluginInstance.h"

#include <cstring>

namespace
{
    const char* propertyName (int32_t property)
    {
        switch (property)
        {
            case KAU_PropName:              return "Name";
            case KAU_PropVersion:           return "Version";
            case KAU_PropInputBusCount:     return "InputBusCount";
            case KAU_PropOutputBusCount:    return "OutputBusCount";
            case KAU_PropInputChannels:     return "InputChannels";
            case KAU_PropOutputChannels:    return "OutputChannels";
            case KAU_PropInputBusName:      return "InputBusName";
            case KAU_PropOutputBusName:     return "OutputBusName";
            case KAU_PropTailSamples:       return "TailSamples";
            case KAU_PropLatencySamples:    return "LatencySamples";
            case KAU_PropAcceptsMidi:       return "AcceptsMidi";
            case KAU_PropProducesMidi:      return "ProducesMidi";
            case KAU_PropHasEditor:         return "HasEditor";
            case KAU_PropParameterCount:    return "ParameterCount";
            case KAU_PropProgramCount:      return "ProgramCount";
            case KAU_PropCurrentProgram:    return "CurrentProgram";
            case KAU_PropBypass:            return "Bypass";
            default:                        return "unknown property";
        }
    }

    void check (int32_t result, const std::string& what)
    {
        if (result != KAU_OK)
            throw PluginError (what + " failed: " + resultName (result) + " (" + std::to_string (result) + ")", result);
    }

    // Text from a fixed buffer the plug-in filled, even when it forgot the terminator.
    std::string boundedString (const char* text, size_t capacity)
    {
        return std::string (text, strnlen (text, capacity));
    }

    // Texts whose length is not known up front: grow the buffer while the plug-in
    // says it is too small, within a sane limit.
    template <typename Call>
    int32_t fetchText (std::string& out, Call&& call)
    {
        for (int32_t capacity = 256; capacity <= 65536; capacity *= 4)
        {
            std::vector<char> buffer ((size_t) capacity, '\0');
            auto result = call (buffer.data(), capacity);

            if (result == KAU_ErrBufferTooSmall)
                continue;

            if (result == KAU_OK)
                out = boundedString (buffer.data(), buffer.size());

            return result;
        }

        return KAU_ErrBufferTooSmall;
    }
}

const char* resultName (int32_t result)
{
    switch (result)
    {
        case KAU_OK:                    return "KAU_OK";
        case KAU_ErrInvalidInstance:    return "KAU_ErrInvalidInstance";
        case KAU_ErrInvalidSelector:    return "KAU_ErrInvalidSelector";
        case KAU_ErrInvalidArgument:    return "KAU_ErrInvalidArgument";
        case KAU_ErrInvalidParameter:   return "KAU_ErrInvalidParameter";
        case KAU_ErrNotPrepared:        return "KAU_ErrNotPrepared";
        case KAU_ErrTooManyFrames:      return "KAU_ErrTooManyFrames";
        case KAU_ErrInvalidProperty:    return "KAU_ErrInvalidProperty";
        case KAU_ErrBufferTooSmall:     return "KAU_ErrBufferTooSmall";
        case KAU_ErrWrongThread:        return "KAU_ErrWrongThread";
        case KAU_ErrNoDisplay:          return "KAU_ErrNoDisplay";
        case KAU_ErrNoEditor:           return "KAU_ErrNoEditor";
        default:                        return "unknown result";
    }
}

const char* eventName (int32_t kind)
{
    switch (kind)
    {
        case KAU_EventParameterChanged: return "parameter-changed";
        case KAU_EventGestureBegin:     return "gesture-begin";
        case KAU_EventGestureEnd:       return "gesture-end";
        case KAU_EventLatencyChanged:   return "latency-changed";
        case KAU_EventProgramChanged:   return "program-changed";
        default:                        return "unknown-event";
    }
}

//==============================================================================
std::unique_ptr<PluginInstance> PluginInstance::create (const PluginBundle& bundle, std::string& error)
{
    if (! bundle.isLoaded())
    {
        error = bundle.error().empty() ? "bundle is not loaded" : bundle.error();
        return nullptr;
    }

    KAUFactoryArgs factoryArgs { KAU_INTERFACE_VERSION };
    auto* handle = bundle.getFactory() (&factoryArgs);

    if (handle == nullptr)
    {
        error = "KestrunAUFactory returned no instance for interface version " + std::to_string (KAU_INTERFACE_VERSION);
        return nullptr;
    }

    // From here on the destructor closes the instance, whatever happens next.
    std::unique_ptr<PluginInstance> result (new PluginInstance (bundle.getEntry(), handle));

    KAUListenerArgs listenerArgs { &PluginInstance::listener, result.get() };
    auto added = result->dispatch (KAU_AddListener, &listenerArgs);

    if (added != KAU_OK)
    {
        error = std::string ("KAU_AddListener failed: ") + resultName (added);
        return nullptr;
    }

    result->listening = true;
    return result;
}

PluginInstance::PluginInstance (KestrunAUEntryProc entryPoint, KAUInstance* handle)
    : entry (entryPoint), instance (handle), creatorThread (std::this_thread::get_id())
{
}

PluginInstance::~PluginInstance()
{
    if (listening)
    {
        KAUListenerArgs listenerArgs { &PluginInstance::listener, this };
        dispatch (KAU_RemoveListener, &listenerArgs);
    }

    dispatch (KAU_Close, nullptr);
}

int32_t PluginInstance::dispatch (int32_t selector, void* args) const
{
    return entry (instance, selector, args);
}

void PluginInstance::listener (void* userData, int32_t event, int32_t index, float value)
{
    auto* self = static_cast<PluginInstance*> (userData);

    // Never let an exception unwind into the plug-in's C code.
    try
    {
        std::lock_guard<std::mutex> lock (self->eventLock);
        self->eventLog.push_back ({ event, index, value, std::this_thread::get_id() });
    }
    catch (...)
    {
    }
}

std::vector<PluginInstance::Event> PluginInstance::events() const
{
    std::lock_guard<std::mutex> lock (eventLock);
    return eventLog;
}

void PluginInstance::clearEvents()
{
    std::lock_guard<std::mutex> lock (eventLock);
    eventLog.clear();
}

std::vector<PluginInstance::Event> PluginInstance::takeEvents()
{
    std::vector<Event> taken;
    std::lock_guard<std::mutex> lock (eventLock);
    taken.swap (eventLog);
    return taken;
}

//==============================================================================
int32_t PluginInstance::getIntProperty (int32_t property, int32_t element) const
{
    KAUPropertyArgs args {};
    args.property = property;
    args.element = element;
    check (dispatch (KAU_GetProperty, &args), std::string ("getting property ") + propertyName (property));
    return args.intValue;
}

int32_t PluginInstance::setIntProperty (int32_t property, int32_t value, int32_t element)
{
    KAUPropertyArgs args {};
    args.property = property;
    args.element = element;
    args.intValue = value;
    return dispatch (KAU_SetProperty, &args);
}

std::string PluginInstance::getTextProperty (int32_t property, int32_t element) const
{
    std::string text;
    auto result = fetchText (text, [&] (char* buffer, int32_t capacity)
    {
        KAUPropertyArgs args {};
        args.property = property;
        args.element = element;
        args.text = buffer;
        args.textCapacity = capacity;
        return dispatch (KAU_GetProperty, &args);
    });

    check (result, std::string ("getting property ") + propertyName (property));
    return text;
}

std::string PluginInstance::name() const                    { return getTextProperty (KAU_PropName); }
int32_t PluginInstance::version() const                     { return getIntProperty (KAU_PropVersion); }
int32_t PluginInstance::inputBusCount() const               { return getIntProperty (KAU_PropInputBusCount); }
int32_t PluginInstance::outputBusCount() const              { return getIntProperty (KAU_PropOutputBusCount); }
int32_t PluginInstance::inputChannels (int32_t bus) const   { return getIntProperty (KAU_PropInputChannels, bus); }
int32_t PluginInstance::outputChannels (int32_t bus) const  { return getIntProperty (KAU_PropOutputChannels, bus); }
std::string PluginInstance::inputBusName (int32_t bus) const  { return getTextProperty (KAU_PropInputBusName, bus); }
std::string PluginInstance::outputBusName (int32_t bus) const { return getTextProperty (KAU_PropOutputBusName, bus); }
int32_t PluginInstance::tailSamples() const                 { return getIntProperty (KAU_PropTailSamples); }
int32_t PluginInstance::latencySamples() const              { return getIntProperty (KAU_PropLatencySamples); }
bool PluginInstance::acceptsMidi() const                    { return getIntProperty (KAU_PropAcceptsMidi) != 0; }
bool PluginInstance::producesMidi() const                   { return getIntProperty (KAU_PropProducesMidi) != 0; }
bool PluginInstance::hasEditor() const                      { return getIntProperty (KAU_PropHasEditor) != 0; }
bool PluginInstance::bypassed() const                       { return getIntProperty (KAU_PropBypass) != 0; }
int32_t PluginInstance::setBypass (bool shouldBypass)       { return setIntProperty (KAU_PropBypass, shouldBypass ? 1 : 0); }
int32_t PluginInstance::parameterCount() const              { return getIntProperty (KAU_PropParameterCount); }
int32_t PluginInstance::programCount() const                { return getIntProperty (KAU_PropProgramCount); }
int32_t PluginInstance::currentProgram() const              { return getIntProperty (KAU_PropCurrentProgram); }
int32_t PluginInstance::setCurrentProgram (int32_t index)   { return setIntProperty (KAU_PropCurrentProgram, index); }

//==============================================================================
PluginInstance::ParameterInfo PluginInstance::parameterInfo (int32_t index) const
{
    KAUParameterInfoArgs args {};
    args.index = index;
    check (dispatch (KAU_GetParameterInfo, &args), "getting info of parameter " + std::to_string (index));

    ParameterInfo info;
    info.identifier = boundedString (args.info.identifier, sizeof (args.info.identifier));
    info.name = boundedString (args.info.name, sizeof (args.info.name));
    info.minValue = args.info.minValue;
    info.maxValue = args.info.maxValue;
    info.defaultValue = args.info.defaultValue;
    info.numSteps = args.info.numSteps;
    info.unit = args.info.unit;
    info.flags = args.info.flags;
    return info;
}

std::optional<int32_t> PluginInstance::findParameter (const std::string& identifier) const
{
    auto count = parameterCount();

    for (int32_t i = 0; i < count; ++i)
        if (parameterInfo (i).identifier == identifier)
            return i;

    return std::nullopt;
}

float PluginInstance::getParameter (int32_t index) const
{
    KAUParameterArgs args { index, 0.0f };
    check (dispatch (KAU_GetParameter, &args), "getting parameter " + std::to_string (index));
    return args.value;
}

int32_t PluginInstance::setParameter (int32_t index, float value)
{
    KAUParameterArgs args { index, value };
    return dispatch (KAU_SetParameter, &args);
}

std::string PluginInstance::valueToText (int32_t index, float value, int32_t maximumLength) const
{
    std::string text;
    auto result = fetchText (text, [&] (char* buffer, int32_t capacity)
    {
        KAUParameterTextArgs args {};
        args.index = index;
        args.value = value;
        args.maximumLength = maximumLength;
        args.text = buffer;
        args.textCapacity = capacity;
        return dispatch (KAU_ParameterValueToText, &args);
    });

    check (result, "text of parameter " + std::to_string (index));
    return text;
}

std::optional<float> PluginInstance::textToValue (int32_t index, const std::string& text) const
{
    std::vector<char> buffer (text.begin(), text.end());
    buffer.push_back ('\0');

    KAUParameterTextArgs args {};
    args.index = index;
    args.text = buffer.data();
    args.textCapacity = (int32_t) buffer.size();

    if (dispatch (KAU_ParameterTextToValue, &args) != KAU_OK)
        return std::nullopt;

    return args.value;
}

//==============================================================================
int32_t PluginInstance::prepare (double sampleRate, int32_t maximumFramesPerBlock)
{
    KAUPrepareArgs args { sampleRate, maximumFramesPerBlock };
    return dispatch (KAU_Prepare, &args);
}

int32_t PluginInstance::unprepare()    { return dispatch (KAU_Unprepare, nullptr); }
int32_t PluginInstance::reset()        { return dispatch (KAU_Reset, nullptr); }
int32_t PluginInstance::destroyEditor() { return dispatch (KAU_DestroyEditor, nullptr); }

PluginInstance::EditorImage PluginInstance::editorImage() const
{
    KAUImageArgs args { nullptr, 0, 0, 0 };
    check (dispatch (KAU_GetEditorImage, &args), "KAU_GetEditorImage");

    if (args.width <= 0 || args.height <= 0 || args.width > maximumEditorSide || args.height > maximumEditorSide)
        throw PluginError ("KAU_GetEditorImage gave a size of " + std::to_string (args.width) + " x "
                               + std::to_string (args.height), KAU_ErrInvalidArgument);

    EditorImage image;
    image.width = args.width;
    image.height = args.height;
    image.pixels.resize ((size_t) args.width * (size_t) args.height);
    args.pixels = image.pixels.data();
    args.capacity = (int32_t) image.pixels.size();
    check (dispatch (KAU_GetEditorImage, &args), "KAU_GetEditorImage");

    if (args.width != image.width || args.height != image.height)
        throw PluginError ("the editor changed its size while being pictured", KAU_ErrInvalidArgument);

    return image;
}
int32_t PluginInstance::idle()         { return dispatch (KAU_Idle, nullptr); }

int32_t PluginInstance::render (float** channels, int numChannels, int numFrames)
{
    KAURenderArgs args { channels, numChannels, numFrames };
    return dispatch (KAU_Render, &args);
}

//==============================================================================
std::vector<uint8_t> PluginInstance::getState() const
{
    // The state may grow between asking for its size and fetching it, so retry
    // a few times with the newly reported size.
    for (int attempt = 0; attempt < 4; ++attempt)
    {
        KAUDataArgs sizeArgs { nullptr, 0 };
        check (dispatch (KAU_GetState, &sizeArgs), "getting the state size");

        if (sizeArgs.size < 0)
            throw PluginError ("the plug-in reported a negative state size", KAU_ErrInvalidArgument);

        std::vector<uint8_t> data ((size_t) sizeArgs.size);
        KAUDataArgs dataArgs { data.data(), sizeArgs.size };
        auto result = dispatch (KAU_GetState, &dataArgs);

        if (result == KAU_ErrBufferTooSmall)
            continue;

        check (result, "getting the state");

        if (dataArgs.size < 0 || dataArgs.size > sizeArgs.size)
            throw PluginError ("the plug-in reported a state larger than its buffer", KAU_ErrBufferTooSmall);

        data.resize ((size_t) dataArgs.size);
        return data;
    }

    throw PluginError ("the state kept growing while it was fetched", KAU_ErrBufferTooSmall);
}

int32_t PluginInstance::setState (const std::vector<uint8_t>& data)
{
    return setState (data.data(), (int32_t) data.size());
}

int32_t PluginInstance::setState (const void* data, int32_t size)
{
    KAUDataArgs args { const_cast<void*> (data), size };
    return dispatch (KAU_SetState, &args);
}

std::string PluginInstance::programName (int32_t index) const
{
    std::string text;
    auto result = fetchText (text, [&] (char* buffer, int32_t capacity)
    {
        KAUProgramArgs args { index, buffer, capacity };
        return dispatch (KAU_GetProgramName, &args);
    });

    check (result, "name of program " + std::to_string (index));
    return text;
}

PluginInstance::EditorResult PluginInstance::createEditor (bool showOnDesktop)
{
    KAUEditorArgs args { showOnDesktop ? 1 : 0, 0, 0 };
    auto result = dispatch (KAU_CreateEditor, &args);
    return { args.width, args.height, result };
}
