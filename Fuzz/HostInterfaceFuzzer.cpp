// Drives the host interface's entry points with a call sequence coded in the
// input's bytes (parameters, texts, state, programs, prepare, render, listeners,
// closing) and checks after every call what any host may rely on: results are
// known codes, parameters stay finite and in range, the program stays in the
// list, rendered audio stays finite, texts handed out are terminated UTF-8, a
// state read back and set again reads back the same, and a closed handle is refused.
#include "FuzzSupport.h"
#include "KestrunAU.h"
#include "Utilities/Utf8Check.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
void require (bool condition, const char* what)
{
    if (! condition)
    {
        std::fprintf (stderr, "invariant broken: %s\n", what);
        __builtin_trap();
    }
}

bool isKnownResult (int32_t result)
{
    return result <= KAU_OK && result >= KAU_ErrWrongThread;
}

// The input, read as the arguments of one call after another; zeros once it runs out.
class Input
{
public:
    Input (const uint8_t* data, size_t size) : data (data), size (size) {}

    bool empty() const noexcept { return position >= size; }
    uint8_t byte() { return position < size ? data[position++] : 0; }
    uint16_t word() { return (uint16_t) (byte() | (byte() << 8)); }
    int32_t index (int count) { return (int32_t) (byte() % (count + 3)) - 1; }    // -1 .. count + 1

    float rawFloat()
    {
        uint32_t bits = (uint32_t) word() | ((uint32_t) word() << 16);
        float value;
        std::memcpy (&value, &bits, sizeof (value));
        return value;
    }

    std::vector<uint8_t> bytes (size_t count)
    {
        std::vector<uint8_t> result;
        while (result.size() < count && ! empty())
            result.push_back (byte());
        return result;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

struct ParameterRange
{
    float minimum, maximum;
};

// One instance under test, with what the checks need to know about it.
class Session
{
public:
    Session() { open(); }
    ~Session() { close(); }

    void run (Input& input)
    {
        const auto opcode = input.byte() % 18;
        const auto result = call (opcode, input);
        require (isKnownResult (result), "a result is a known code");
        checkInstance();
    }

private:
    int32_t entry (int32_t selector, void* args) { return KestrunAUEntry (instance, selector, args); }

    void open()
    {
        const KAUFactoryArgs factory { KAU_INTERFACE_VERSION };
        instance = KestrunAUFactory (&factory);
        require (instance != nullptr, "an instance is created");

        KAUPropertyArgs count {};
        count.property = KAU_PropParameterCount;
        require (entry (KAU_GetProperty, &count) == KAU_OK, "the parameter count is answered");

        ranges.clear();
        for (int32_t i = 0; i < count.intValue; ++i)
        {
            KAUParameterInfoArgs info {};
            info.index = i;
            require (entry (KAU_GetParameterInfo, &info) == KAU_OK, "parameter info is answered");
            ranges.push_back ({ info.info.minValue, info.info.maxValue });
        }

        KAUListenerArgs listener { &Session::listen, this };
        require (entry (KAU_AddListener, &listener) == KAU_OK, "a listener is added");
        listening = true;
        prepared = false;
        maximumFrames = 0;
    }

    void close()
    {
        require (KestrunAUEntry (instance, KAU_Close, nullptr) == KAU_OK, "a live instance closes");
        require (KestrunAUEntry (instance, KAU_Close, nullptr) == KAU_ErrInvalidInstance, "a closed handle is refused");
    }

    static void listen (void* userData, int32_t event, int32_t index, float value)
    {
        auto& self = *static_cast<Session*> (userData);
        require (self.listening, "a removed listener is not called");

        if (event == KAU_EventParameterChanged)
        {
            require (index >= 0 && index < (int32_t) self.ranges.size(), "a changed parameter exists");
            require (value >= self.ranges[(size_t) index].minimum && value <= self.ranges[(size_t) index].maximum,
                     "a reported value is in range");
        }
    }

    int32_t call (int opcode, Input& input)
    {
        const int parameters = (int) ranges.size();

        switch (opcode)
        {
            case 0:
            {
                KAUParameterArgs args { input.index (parameters), input.rawFloat() };
                return entry (KAU_SetParameter, &args);
            }
            case 1:
            {
                KAUParameterArgs args { input.index (parameters), 0.0f };
                const auto result = entry (KAU_GetParameter, &args);
                require (result == KAU_OK || result == KAU_ErrInvalidParameter, "a parameter is read or refused");
                return result;
            }
            case 2: return valueToText (input, parameters);
            case 3: return textToValue (input, parameters);
            case 4: return stateRoundTrip();
            case 5:
            {
                auto chunk = input.bytes (input.word() % 2048);
                KAUDataArgs args { chunk.data(), (int32_t) chunk.size() };
                return entry (KAU_SetState, &args);
            }
            case 6:
            {
                // A state the plug-in wrote, with one byte changed.
                auto chunk = getState();
                if (! chunk.empty())
                    chunk[input.word() % chunk.size()] = input.byte();
                KAUDataArgs args { chunk.data(), (int32_t) chunk.size() };
                return entry (KAU_SetState, &args);
            }
            case 7: return setIntProperty (KAU_PropCurrentProgram, (int32_t) input.byte() - 2);
            case 8:
            {
                std::vector<char> name ((size_t) input.byte() % 40 + 1, '\x7f');
                KAUProgramArgs args { (int32_t) input.byte() - 2, name.data(), (int32_t) name.size() };
                const auto result = entry (KAU_GetProgramName, &args);
                if (result == KAU_OK)
                    checkText (name.data(), name.size());
                return result;
            }
            case 9: return prepare (input);
            case 10: prepared = false; return entry (KAU_Unprepare, nullptr);
            case 11: return entry (KAU_Reset, nullptr);
            case 12: return render (input);
            case 13: return setIntProperty (KAU_PropBypass, input.byte() % 3);
            case 14: return KestrunAUEntry (nullptr, KAU_Idle, nullptr);
            case 15:
            {
                std::vector<char> text ((size_t) input.byte() % 24 + 1, '\x7f');
                KAUPropertyArgs args {};
                args.property = input.byte() % 20;
                args.element = (int32_t) input.byte() % 4 - 1;
                args.text = text.data();
                args.textCapacity = (int32_t) text.size();
                const auto result = entry (KAU_GetProperty, &args);
                const bool isText = args.property == KAU_PropName || args.property == KAU_PropInputBusName
                                 || args.property == KAU_PropOutputBusName;
                if (result == KAU_OK && isText)
                    checkText (text.data(), text.size());
                return result;
            }
            case 16:
            {
                KAUListenerArgs args { &Session::listen, this };
                const auto result = entry (listening ? KAU_RemoveListener : KAU_AddListener, &args);
                require (result == KAU_OK, "the fuzzer's own listener is added and removed");
                listening = ! listening;
                return result;
            }
            default:
            {
                const auto closed = instance;
                close();
                open();
                KAUPropertyArgs args {};
                args.property = KAU_PropVersion;
                require (KestrunAUEntry (closed, KAU_GetProperty, &args) == KAU_ErrInvalidInstance,
                         "a closed handle is refused, also once another instance is open");
                return KAU_OK;
            }
        }
    }

    int32_t setIntProperty (int32_t property, int32_t value)
    {
        KAUPropertyArgs args {};
        args.property = property;
        args.intValue = value;
        return entry (KAU_SetProperty, &args);
    }

    int32_t valueToText (Input& input, int parameters)
    {
        std::vector<char> text ((size_t) input.byte() % 16 + 1, '\x7f');
        KAUParameterTextArgs args {};
        args.index = input.index (parameters);
        args.value = input.rawFloat();
        args.maximumLength = (int32_t) input.byte() - 8;
        args.text = text.data();
        args.textCapacity = (int32_t) text.size();

        const auto result = entry (KAU_ParameterValueToText, &args);
        if (result == KAU_OK)
            checkText (text.data(), text.size());
        return result;
    }

    int32_t textToValue (Input& input, int parameters)
    {
        auto text = input.bytes (input.byte() % 32);
        text.push_back (0);
        // The plug-in reads up to the first zero.
        const bool wellFormed = isStrictUtf8 (text.data(), strlen (reinterpret_cast<const char*> (text.data())));

        KAUParameterTextArgs args {};
        args.index = input.index (parameters);
        args.value = -1.0f;
        args.text = reinterpret_cast<char*> (text.data());

        const auto result = entry (KAU_ParameterTextToValue, &args);
        if (args.index >= 0 && args.index < parameters)
        {
            require (result == (wellFormed ? KAU_OK : KAU_ErrInvalidArgument), "only well-formed text is read");
            if (result == KAU_OK)
                require (args.value >= ranges[(size_t) args.index].minimum && args.value <= ranges[(size_t) args.index].maximum,
                         "a text reads as a value in range");
        }
        return result;
    }

    std::vector<uint8_t> getState()
    {
        KAUDataArgs size { nullptr, 0 };
        require (entry (KAU_GetState, &size) == KAU_OK && size.size >= 0, "the state size is answered");

        std::vector<uint8_t> chunk ((size_t) size.size);
        KAUDataArgs args { chunk.data(), size.size };
        require (entry (KAU_GetState, &args) == KAU_OK && args.size == size.size, "the state is handed out");
        return chunk;
    }

    int32_t stateRoundTrip()
    {
        const auto chunk = getState();
        KAUDataArgs args { const_cast<uint8_t*> (chunk.data()), (int32_t) chunk.size() };
        require (entry (KAU_SetState, &args) == KAU_OK, "a state the plug-in wrote is taken");
        require (getState() == chunk, "a state set again reads back the same");
        return KAU_OK;
    }

    int32_t prepare (Input& input)
    {
        static const double rates[] = { 44100.0, 48000.0, 96000.0, KAU_MIN_SAMPLE_RATE, KAU_MAX_SAMPLE_RATE,
                                        999.0, 0.0, -1.0, NAN, INFINITY };
        KAUPrepareArgs args { rates[input.byte() % 10], (int32_t) input.word() - 16 };
        const auto result = entry (KAU_Prepare, &args);

        if (result == KAU_OK)
        {
            prepared = true;
            maximumFrames = args.maximumFramesPerBlock;
        }

        return result;
    }

    int32_t render (Input& input)
    {
        const int channels = input.byte() % 6;
        const int frames = input.word() % 1200;
        // One spare sample, so that no channel pointer is null even for no frames.
        std::vector<std::vector<float>> audio ((size_t) channels, std::vector<float> ((size_t) frames + 1));
        float* pointers[8] = {};

        for (size_t c = 0; c < audio.size(); ++c)
        {
            for (auto& sample : audio[c])
                sample = (float) (int8_t) input.byte() / 128.0f;
            pointers[c] = audio[c].data();
        }

        KAURenderArgs args { pointers, channels, frames };
        const auto result = entry (KAU_Render, &args);

        if (prepared && frames <= maximumFrames)
            require (result == KAU_OK, "a prepared instance renders what fits its block");

        if (result == KAU_OK)
            for (auto& channel : audio)
                for (auto sample : channel)
                    require (std::isfinite (sample), "rendered audio is finite");

        return result;
    }

    static void checkText (const char* text, size_t capacity)
    {
        const auto length = strnlen (text, capacity);
        require (length < capacity, "a text handed out is terminated within its buffer");
        require (isStrictUtf8 (reinterpret_cast<const uint8_t*> (text), length), "a text handed out is UTF-8");
    }

    void checkInstance()
    {
        for (size_t i = 0; i < ranges.size(); ++i)
        {
            KAUParameterArgs args { (int32_t) i, 0.0f };
            require (entry (KAU_GetParameter, &args) == KAU_OK, "a parameter is read");
            require (args.value >= ranges[i].minimum && args.value <= ranges[i].maximum, "a parameter stays in range");
        }

        KAUPropertyArgs programs {}, current {};
        programs.property = KAU_PropProgramCount;
        current.property = KAU_PropCurrentProgram;
        require (entry (KAU_GetProperty, &programs) == KAU_OK && entry (KAU_GetProperty, &current) == KAU_OK,
                 "the programs are answered");
        require (current.intValue >= 0 && current.intValue < programs.intValue, "the program is in the list");
    }

    KAUInstance* instance = nullptr;
    std::vector<ParameterRange> ranges;
    bool listening = false;
    bool prepared = false;
    int32_t maximumFrames = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    // One instance stays open for the whole run, so the framework is set up once.
    static auto* keeper = []
    {
        useScratchHome();
        failOnFrameworkAssertions();
        const KAUFactoryArgs factory { KAU_INTERFACE_VERSION };
        return KestrunAUFactory (&factory);
    }();
    require (keeper != nullptr, "the first instance is created");

    {
        Input input (data, size);
        Session session;

        while (! input.empty())
            session.run (input);
    }

    // As a host's main loop would, so that nothing the closed instance left queued piles up.
    KestrunAUEntry (nullptr, KAU_Idle, nullptr);
    return 0;
}
