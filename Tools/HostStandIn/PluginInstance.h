#pragma once

#include "PluginBundle.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// Thrown by the queries of PluginInstance when the plug-in answers with an error.
class PluginError : public std::runtime_error
{
public:
    PluginError (const std::string& what, int32_t resultCode)
        : std::runtime_error (what), code (resultCode) {}

    const int32_t code;
};

// The name of a KAU result code, e.g. "KAU_ErrNotPrepared".
const char* resultName (int32_t result);

// One instance of the plug-in, reached only through the bundle's entry point.
//
// Queries (anything that hands back a value) throw PluginError when the plug-in
// reports a failure; actions return the plug-in's result code instead, so that
// callers can check refusals themselves.
class PluginInstance
{
public:
    struct ParameterInfo
    {
        std::string identifier;
        std::string name;
        float minValue = 0.0f;
        float maxValue = 1.0f;
        float defaultValue = 0.0f;
        int32_t numSteps = 0;
        int32_t unit = KAU_UnitGeneric;
        uint32_t flags = 0;
    };

    // One notification of the plug-in, as the listener received it.
    struct Event
    {
        int32_t kind = 0;           // KAU_Event...
        int32_t index = 0;
        float value = 0.0f;
        std::thread::id thread;     // the thread the plug-in called the listener on
    };

    struct EditorResult
    {
        int32_t width = 0;
        int32_t height = 0;
        int32_t result = KAU_OK;
    };

    // Creates an instance through the bundle's factory and registers the event
    // listener. Null, with the reason in `error`, when either fails. The bundle
    // must outlive the instance.
    static std::unique_ptr<PluginInstance> create (const PluginBundle& bundle, std::string& error);

    ~PluginInstance();

    PluginInstance (const PluginInstance&) = delete;
    PluginInstance& operator= (const PluginInstance&) = delete;

    // Properties.
    std::string name() const;
    int32_t version() const;                    // 0x00MMmmbb
    int32_t inputBusCount() const;
    int32_t outputBusCount() const;
    int32_t inputChannels (int32_t bus) const;
    int32_t outputChannels (int32_t bus) const;
    std::string inputBusName (int32_t bus) const;
    std::string outputBusName (int32_t bus) const;
    int32_t tailSamples() const;
    int32_t latencySamples() const;
    bool acceptsMidi() const;
    bool producesMidi() const;
    bool hasEditor() const;
    bool bypassed() const;
    int32_t setBypass (bool shouldBypass);

    // Parameters, values in host units.
    int32_t parameterCount() const;
    ParameterInfo parameterInfo (int32_t index) const;
    std::optional<int32_t> findParameter (const std::string& identifier) const;
    float getParameter (int32_t index) const;
    int32_t setParameter (int32_t index, float value);
    std::string valueToText (int32_t index, float value, int32_t maximumLength = 64) const;
    std::optional<float> textToValue (int32_t index, const std::string& text) const;

    // Processing.
    int32_t prepare (double sampleRate, int32_t maximumFramesPerBlock);
    int32_t unprepare();
    int32_t reset();
    int32_t render (float** channels, int numChannels, int numFrames);

    // State.
    std::vector<uint8_t> getState() const;
    int32_t setState (const std::vector<uint8_t>& data);
    int32_t setState (const void* data, int32_t size);

    // Programs.
    int32_t programCount() const;
    int32_t currentProgram() const;
    int32_t setCurrentProgram (int32_t index);
    std::string programName (int32_t index) const;

    // The editor's picture: rows top to bottom, pixels 0xAARRGGBB.
    struct EditorImage
    {
        int32_t width = 0;
        int32_t height = 0;
        std::vector<uint32_t> pixels;
    };

    // An editor larger than this on either side is taken for a mistake.
    static constexpr int32_t maximumEditorSide = 8192;

    // Editor.
    EditorResult createEditor (bool showOnDesktop);
    int32_t destroyEditor();
    EditorImage editorImage() const;

    // Runs the plug-in's pending messages and timers; call it from the message thread.
    int32_t idle();

    // Everything the listener has received so far, in order.
    std::vector<Event> events() const;
    void clearEvents();
    // Returns the received events and clears the log in one step, losing none.
    std::vector<Event> takeEvents();

    // The thread that created the instance: the plug-in's message thread.
    std::thread::id messageThread() const noexcept { return creatorThread; }

    // A raw call for anything the typed methods do not cover.
    int32_t dispatch (int32_t selector, void* args) const;

    KAUInstance* handle() const noexcept { return instance; }

private:
    PluginInstance (KestrunAUEntryProc entry, KAUInstance* instance);

    static void listener (void* userData, int32_t event, int32_t index, float value);

    int32_t getIntProperty (int32_t property, int32_t element = 0) const;
    int32_t setIntProperty (int32_t property, int32_t value, int32_t element = 0);
    std::string getTextProperty (int32_t property, int32_t element = 0) const;

    KestrunAUEntryProc entry;
    KAUInstance* instance;
    std::thread::id creatorThread;
    bool listening = false;

    mutable std::mutex eventLock;
    std::vector<Event> eventLog;
};

// "parameter-changed", "gesture-begin" etc.
const char* eventName (int32_t kind);
