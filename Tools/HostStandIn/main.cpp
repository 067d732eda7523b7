// pellion-host: loads the plug-in bundle the way a host does, through its two
// C entry points only, and drives it from the command line.

#include "PluginBundle.h"
#include "PluginInstance.h"
#include "SignalTools.h"
#include "WavFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <thread>

namespace
{
    const char* usageText =
        "usage:\n"
        "  pellion-host describe BUNDLE\n"
        "  pellion-host render BUNDLE [--in FILE.wav | --tone HZ] [--seconds S] [--rate SR] [--block N]\n"
        "                      [--out FILE.wav] [--set ID=VALUE ...] [--bypass]\n"
        "                      [--state-in FILE] [--state-out FILE]\n"
        "  pellion-host automate BUNDLE SCRIPT\n";

    constexpr double defaultRate = 48000.0;
    constexpr int defaultBlock = 512;
    constexpr double toneLevelDb = -12.0;

    struct UsageError : std::runtime_error
    {
        using std::runtime_error::runtime_error;
    };

    //==============================================================================
    std::string formatNumber (double value)
    {
        char text[64];
        std::snprintf (text, sizeof (text), "%g", value);
        return text;
    }

    std::string formatDb (double db)
    {
        if (std::isnan (db))
            return "nan";

        if (std::isinf (db))
            return db < 0 ? "-inf" : "+inf";

        char text[64];
        std::snprintf (text, sizeof (text), "%.2f", db);
        return text;
    }

    std::string formatVersion (int32_t version)
    {
        return std::to_string ((version >> 16) & 0xff) + "." + std::to_string ((version >> 8) & 0xff)
             + "." + std::to_string (version & 0xff);
    }

    std::string flagsText (uint32_t flags)
    {
        static const std::pair<uint32_t, const char*> names[] = {
            { KAU_ParamFlagReadable, "readable" },
            { KAU_ParamFlagWritable, "writable" },
            { KAU_ParamFlagGlobalMeta, "global-meta" },
            { KAU_ParamFlagRampable, "rampable" },
            { KAU_ParamFlagHasText, "has-text" }
        };

        std::string text;
        uint32_t known = 0;

        for (auto& [bit, name] : names)
        {
            known |= bit;

            if ((flags & bit) != 0)
                text += (text.empty() ? "" : ",") + std::string (name);
        }

        if ((flags & ~known) != 0)
        {
            char unknown[32];
            std::snprintf (unknown, sizeof (unknown), "0x%x", (unsigned) (flags & ~known));
            text += (text.empty() ? "" : ",") + std::string (unknown);
        }

        return text.empty() ? "none" : text;
    }

    const char* unitText (int32_t unit)
    {
        switch (unit)
        {
            case KAU_UnitGeneric: return "generic";
            case KAU_UnitIndexed: return "indexed";
            case KAU_UnitBoolean: return "boolean";
            default:              return "unknown";
        }
    }

    const char* yesNo (bool b) { return b ? "yes" : "no"; }

    //==============================================================================
    bool parseDouble (const std::string& text, double& value)
    {
        if (text.empty())
            return false;

        char* end = nullptr;
        errno = 0;
        value = std::strtod (text.c_str(), &end);
        return errno == 0 && *end == '\0' && std::isfinite (value);
    }

    bool parseInt (const std::string& text, long& value)
    {
        if (text.empty())
            return false;

        char* end = nullptr;
        errno = 0;
        value = std::strtol (text.c_str(), &end, 10);
        return errno == 0 && *end == '\0';
    }

    double requireDouble (const std::string& option, const std::string& text, double minimum)
    {
        double value = 0;

        if (! parseDouble (text, value) || value < minimum)
            throw UsageError (option + " needs a number of at least " + formatNumber (minimum) + ", not '" + text + "'");

        return value;
    }

    int requireInt (const std::string& option, const std::string& text, long minimum, long maximum)
    {
        long value = 0;

        if (! parseInt (text, value) || value < minimum || value > maximum)
            throw UsageError (option + " needs a whole number from " + std::to_string (minimum) + " to "
                              + std::to_string (maximum) + ", not '" + text + "'");

        return (int) value;
    }

    void requireOk (int32_t result, const std::string& what)
    {
        if (result != KAU_OK)
            throw PluginError (what + " failed: " + resultName (result) + " (" + std::to_string (result) + ")", result);
    }

    std::vector<uint8_t> readBytes (const std::string& path)
    {
        std::ifstream file (path, std::ios::binary);

        if (! file)
            throw std::runtime_error ("cannot open " + path);

        try
        {
            return std::vector<uint8_t> ((std::istreambuf_iterator<char> (file)), std::istreambuf_iterator<char>());
        }
        catch (const std::exception&)
        {
            // A directory, say, fails deep inside the stream buffer.
            throw std::runtime_error ("cannot read " + path);
        }
    }

    void writeBytes (const std::string& path, const std::vector<uint8_t>& bytes)
    {
        std::ofstream file (path, std::ios::binary | std::ios::trunc);
        file.write (reinterpret_cast<const char*> (bytes.data()), (std::streamsize) bytes.size());
        file.close();

        if (! file)
            throw std::runtime_error ("cannot write " + path);
    }

    //==============================================================================
    // The bundle is declared first so that it outlives the instance.
    struct Host
    {
        std::unique_ptr<PluginBundle> bundle;
        std::unique_ptr<PluginInstance> plugin;
    };

    Host load (const std::string& path)
    {
        if (! std::filesystem::exists (path))
            throw std::runtime_error ("bundle not found: " + path);

        Host host;
        host.bundle = std::make_unique<PluginBundle> (path);

        if (! host.bundle->isLoaded())
            throw std::runtime_error (host.bundle->error());

        std::string error;
        host.plugin = PluginInstance::create (*host.bundle, error);

        if (host.plugin == nullptr)
            throw std::runtime_error (error);

        return host;
    }

    int32_t parameterIndex (const PluginInstance& plugin, const std::string& identifier)
    {
        if (auto index = plugin.findParameter (identifier))
            return *index;

        throw std::runtime_error ("no parameter with identifier '" + identifier + "'");
    }

    // A number in host units, or else a text the parameter itself understands.
    float parameterValue (const PluginInstance& plugin, int32_t index, const std::string& text)
    {
        double number = 0;

        if (parseDouble (text, number))
            return (float) number;

        if (auto value = plugin.textToValue (index, text))
            return *value;

        throw std::runtime_error ("'" + text + "' is neither a number nor a text parameter "
                                  + std::to_string (index) + " understands");
    }

    struct ChannelLayout
    {
        int inputs = 0;
        int outputs = 0;
        int buffer() const { return std::max (inputs, outputs); }
    };

    // Buses are rendered as one in-place buffer: all input buses' channels in bus
    // order, with the outputs in the first channels.
    ChannelLayout channelLayout (const PluginInstance& plugin)
    {
        ChannelLayout layout;

        for (int32_t bus = 0; bus < plugin.inputBusCount(); ++bus)
            layout.inputs += plugin.inputChannels (bus);

        for (int32_t bus = 0; bus < plugin.outputBusCount(); ++bus)
            layout.outputs += plugin.outputChannels (bus);

        if (layout.buffer() <= 0)
            throw std::runtime_error ("the plug-in has no audio channels");

        return layout;
    }

    //==============================================================================
    // Prints the plug-in's notifications as they arrive, one line each.
    class EventPrinter
    {
    public:
        explicit EventPrinter (PluginInstance& p) : plugin (p)
        {
            for (int32_t i = 0; i < plugin.parameterCount(); ++i)
                identifiers.push_back (plugin.parameterInfo (i).identifier);
        }

        void flush()
        {
            for (auto& event : plugin.takeEvents())
            {
                std::cout << "event " << eventName (event.kind);

                if (event.kind == KAU_EventParameterChanged || event.kind == KAU_EventGestureBegin
                    || event.kind == KAU_EventGestureEnd)
                {
                    std::cout << " index=" << event.index;

                    if (event.index >= 0 && event.index < (int32_t) identifiers.size())
                        std::cout << " id=" << identifiers[(size_t) event.index];
                }

                if (event.kind == KAU_EventParameterChanged || event.kind == KAU_EventLatencyChanged)
                    std::cout << " value=" << formatNumber (event.value);

                std::cout << " thread=" << (event.thread == plugin.messageThread() ? "message" : "other") << '\n';
            }

            std::cout.flush();
        }

    private:
        PluginInstance& plugin;
        std::vector<std::string> identifiers;
    };

    //==============================================================================
    int describe (const std::vector<std::string>& args)
    {
        if (args.size() != 1)
            throw UsageError ("describe needs exactly one BUNDLE");

        auto host = load (args[0]);
        auto& plugin = *host.plugin;

        std::cout << "name: " << plugin.name() << '\n'
                  << "version: " << formatVersion (plugin.version()) << '\n';

        const int32_t inputBuses = plugin.inputBusCount();
        std::cout << "input buses: " << inputBuses << '\n';

        for (int32_t bus = 0; bus < inputBuses; ++bus)
            std::cout << "  [" << bus << "] \"" << plugin.inputBusName (bus) << "\" "
                      << plugin.inputChannels (bus) << " channels\n";

        const int32_t outputBuses = plugin.outputBusCount();
        std::cout << "output buses: " << outputBuses << '\n';

        for (int32_t bus = 0; bus < outputBuses; ++bus)
            std::cout << "  [" << bus << "] \"" << plugin.outputBusName (bus) << "\" "
                      << plugin.outputChannels (bus) << " channels\n";

        std::cout << "midi in: " << yesNo (plugin.acceptsMidi()) << '\n'
                  << "midi out: " << yesNo (plugin.producesMidi()) << '\n'
                  << "editor: " << yesNo (plugin.hasEditor()) << '\n';

        // Tail and latency are only meaningful at a rate, so ask while prepared.
        requireOk (plugin.prepare (defaultRate, defaultBlock), "prepare");
        std::cout << "tail: " << plugin.tailSamples() << " samples at " << formatNumber (defaultRate) << " Hz\n"
                  << "latency: " << plugin.latencySamples() << " samples at " << formatNumber (defaultRate) << " Hz\n";
        requireOk (plugin.unprepare(), "unprepare");

        const int32_t parameters = plugin.parameterCount();
        std::cout << "parameters: " << parameters << '\n';

        for (int32_t i = 0; i < parameters; ++i)
        {
            auto info = plugin.parameterInfo (i);
            std::cout << "  [" << i << "] " << info.identifier << " \"" << info.name << "\""
                      << " range " << formatNumber (info.minValue) << " .. " << formatNumber (info.maxValue)
                      << " default " << formatNumber (info.defaultValue)
                      << " steps " << info.numSteps
                      << " unit " << unitText (info.unit)
                      << " flags " << flagsText (info.flags) << '\n'
                      << "      texts: min \"" << plugin.valueToText (i, info.minValue) << "\""
                      << " default \"" << plugin.valueToText (i, info.defaultValue) << "\""
                      << " max \"" << plugin.valueToText (i, info.maxValue) << "\"\n";
        }

        const int32_t programs = plugin.programCount();
        const int32_t current = programs > 0 ? plugin.currentProgram() : -1;
        std::cout << "programs: " << programs << '\n';

        for (int32_t i = 0; i < programs; ++i)
            std::cout << "  [" << i << "] \"" << plugin.programName (i) << "\"" << (i == current ? " (current)" : "") << '\n';

        if (programs > 0)
            std::cout << "current program: " << current << '\n';

        return 0;
    }

    //==============================================================================
    int render (const std::vector<std::string>& args)
    {
        if (args.empty())
            throw UsageError ("render needs a BUNDLE");

        std::string inPath, outPath, stateIn, stateOut;
        double toneHz = 1000.0, seconds = -1.0, rate = -1.0;
        int block = defaultBlock;
        bool bypass = false, haveTone = false;
        std::vector<std::pair<std::string, std::string>> settings;

        for (size_t i = 1; i < args.size(); ++i)
        {
            const auto& option = args[i];

            if (option == "--bypass")
            {
                bypass = true;
                continue;
            }

            static const char* const valueOptions[] = { "--in", "--tone", "--seconds", "--rate", "--block",
                                                        "--out", "--set", "--state-in", "--state-out" };

            if (std::find (std::begin (valueOptions), std::end (valueOptions), option) == std::end (valueOptions))
                throw UsageError ("unknown option: " + option);

            if (i + 1 >= args.size())
                throw UsageError (option + " needs a value");

            const auto& value = args[++i];

            if (option == "--in")               inPath = value;
            else if (option == "--tone")        { toneHz = requireDouble (option, value, 0.0); haveTone = true; }
            else if (option == "--seconds")     seconds = requireDouble (option, value, 0.0);
            else if (option == "--rate")        rate = requireDouble (option, value, 1.0);
            else if (option == "--block")       block = requireInt (option, value, 1, 1 << 20);
            else if (option == "--out")         outPath = value;
            else if (option == "--state-in")    stateIn = value;
            else if (option == "--state-out")   stateOut = value;
            else
            {
                auto equals = value.find ('=');

                if (equals == std::string::npos || equals == 0)
                    throw UsageError ("--set needs ID=VALUE, not '" + value + "'");

                settings.emplace_back (value.substr (0, equals), value.substr (equals + 1));
            }
        }

        if (haveTone && ! inPath.empty())
            throw UsageError ("--in and --tone exclude each other");

        AudioData file;

        if (! inPath.empty())
        {
            std::string error;

            if (! readWav (inPath, file, error))
                throw std::runtime_error (error);

            if (rate < 0)
                rate = file.sampleRate;
        }

        if (rate < 0)
            rate = defaultRate;

        const double wantedFrames = seconds >= 0 ? std::round (seconds * rate)
                                                 : (! inPath.empty() ? file.numFrames() : std::round (2.0 * rate));

        if (wantedFrames > (double) INT32_MAX)
            throw UsageError ("too many frames to render: " + formatNumber (wantedFrames));

        const int totalFrames = (int) wantedFrames;

        auto host = load (args[0]);
        auto& plugin = *host.plugin;

        if (! stateIn.empty())
            requireOk (plugin.setState (readBytes (stateIn)), "restoring the state from " + stateIn);

        for (auto& [identifier, text] : settings)
        {
            auto index = parameterIndex (plugin, identifier);
            requireOk (plugin.setParameter (index, parameterValue (plugin, index, text)), "setting " + identifier);
        }

        if (bypass)
            requireOk (plugin.setBypass (true), "bypass");

        const auto layout = channelLayout (plugin);
        requireOk (plugin.prepare (rate, block), "prepare");

        // The whole input up front, so that its levels can be measured like the output's.
        AudioData input;
        input.sampleRate = rate;

        for (int channel = 0; channel < layout.inputs; ++channel)
        {
            if (inPath.empty())
            {
                input.channels.push_back (sine (totalFrames, rate, toneHz, toneLevelDb));
                continue;
            }

            // A mono file feeds every input; otherwise channels beyond the file stay silent.
            const int source = file.numChannels() == 1 ? 0 : channel;
            auto samples = silence (totalFrames);

            if (source < file.numChannels())
                std::copy_n (file.channels[(size_t) source].begin(), std::min (totalFrames, file.numFrames()), samples.begin());

            input.channels.push_back (std::move (samples));
        }

        if (! inPath.empty() && (layout.inputs == 0 || file.numChannels() > layout.inputs))
            std::cerr << "warning: " << inPath << " has " << file.numChannels() << " channels, the plug-in takes "
                      << layout.inputs << "; the rest are ignored\n";

        AudioData output;
        output.sampleRate = rate;
        output.channels.assign ((size_t) layout.outputs, std::vector<float> ((size_t) totalFrames));

        std::vector<std::vector<float>> buffer ((size_t) layout.buffer(), std::vector<float> ((size_t) block));
        std::vector<float*> pointers;

        for (auto& channel : buffer)
            pointers.push_back (channel.data());

        for (int start = 0; start < totalFrames; start += block)
        {
            const int frames = std::min (block, totalFrames - start);

            for (size_t channel = 0; channel < buffer.size(); ++channel)
            {
                if (channel < input.channels.size())
                    std::copy_n (input.channels[channel].begin() + start, frames, buffer[channel].begin());
                else
                    std::fill_n (buffer[channel].begin(), frames, 0.0f);
            }

            requireOk (plugin.render (pointers.data(), (int) pointers.size(), frames),
                       "rendering frames " + std::to_string (start) + " to " + std::to_string (start + frames));

            for (size_t channel = 0; channel < output.channels.size(); ++channel)
                std::copy_n (buffer[channel].begin(), frames, output.channels[channel].begin() + start);

            plugin.idle();
            // Nobody reads the events here; don't let them pile up over a long render.
            plugin.clearEvents();
        }

        const int32_t latency = plugin.latencySamples();
        requireOk (plugin.unprepare(), "unprepare");

        if (! stateOut.empty())
            writeBytes (stateOut, plugin.getState());

        if (! outPath.empty())
        {
            std::string error;

            if (! writeWav (outPath, output, WavSampleFormat::float32, error))
                throw std::runtime_error (error);
        }

        std::cout << "rendered " << totalFrames << " frames at " << formatNumber (rate) << " Hz in blocks of " << block
                  << (bypass ? " (bypassed)" : "") << '\n'
                  << "latency: " << latency << " samples\n";

        auto printLevels = [] (const char* label, const AudioData& audio)
        {
            auto levels = measure (audio.channels);

            for (size_t channel = 0; channel < levels.size(); ++channel)
                std::cout << label << ' ' << channel << ": peak " << formatDb (levels[channel].peakDb)
                          << " dBFS, rms " << formatDb (levels[channel].rmsDb) << " dBFS\n";
        };

        printLevels ("input", input);
        printLevels ("output", output);
        return 0;
    }

    //==============================================================================
    std::string trim (const std::string& text)
    {
        const auto first = text.find_first_not_of (" \t\r\n");

        if (first == std::string::npos)
            return {};

        return text.substr (first, text.find_last_not_of (" \t\r\n") - first + 1);
    }

    // Splits off the first word; `rest` is what follows, trimmed.
    std::string firstWord (const std::string& text, std::string& rest)
    {
        const auto space = text.find_first_of (" \t");

        if (space == std::string::npos)
        {
            rest.clear();
            return text;
        }

        rest = trim (text.substr (space));
        return text.substr (0, space);
    }

    int automate (const std::vector<std::string>& args)
    {
        if (args.size() != 2)
            throw UsageError ("automate needs a BUNDLE and a SCRIPT");

        std::ifstream script (args[1]);
        std::vector<std::string> lines;

        for (std::string line; std::getline (script, line);)
            lines.push_back (line);

        // A missing file and one that cannot be read (a directory, say) both end up here.
        if (! script.eof() || script.bad())
            throw std::runtime_error ("cannot read script " + args[1]);

        auto host = load (args[0]);
        auto& plugin = *host.plugin;
        EventPrinter printer (plugin);

        const auto layout = channelLayout (plugin);
        requireOk (plugin.prepare (defaultRate, defaultBlock), "prepare");
        printer.flush();

        SineGenerator tone (defaultRate, 1000.0, toneLevelDb);
        std::vector<std::vector<float>> buffer ((size_t) layout.buffer(), std::vector<float> (defaultBlock));
        std::vector<float*> pointers;

        for (auto& channel : buffer)
            pointers.push_back (channel.data());

        for (size_t lineIndex = 0; lineIndex < lines.size(); ++lineIndex)
        {
            const auto lineNumber = lineIndex + 1;
            const auto line = trim (lines[lineIndex]);

            if (line.empty() || line[0] == '#')
                continue;

            std::cout << "> " << line << '\n';

            try
            {
                std::string rest;
                const auto command = firstWord (line, rest);
                std::string argument;
                const auto first = firstWord (rest, argument);

                auto needArguments = [&] (bool ok, const char* form)
                {
                    if (! ok)
                        throw std::runtime_error (std::string ("expected '") + form + "'");
                };

                if (command == "set")
                {
                    needArguments (! first.empty() && ! argument.empty()
                                       && argument.find_first_of (" \t") == std::string::npos, "set ID VALUE");
                    auto index = parameterIndex (plugin, first);
                    double value = 0;

                    if (! parseDouble (argument, value))
                        throw std::runtime_error ("'" + argument + "' is not a number");

                    requireOk (plugin.setParameter (index, (float) value), "set");
                }
                else if (command == "text")
                {
                    needArguments (! first.empty() && ! argument.empty(), "text ID TEXT");
                    auto index = parameterIndex (plugin, first);
                    auto value = plugin.textToValue (index, argument);

                    if (! value)
                        throw std::runtime_error ("the plug-in does not understand '" + argument + "' for " + first);

                    requireOk (plugin.setParameter (index, *value), "set");
                }
                else if (command == "get")
                {
                    needArguments (! first.empty() && argument.empty(), "get ID");
                    auto index = parameterIndex (plugin, first);
                    auto value = plugin.getParameter (index);
                    std::cout << first << " = " << formatNumber (value) << " (" << plugin.valueToText (index, value) << ")\n";
                }
                else if (command == "expect")
                {
                    needArguments (! first.empty() && ! argument.empty(), "expect ID VALUE");
                    auto index = parameterIndex (plugin, first);
                    auto info = plugin.parameterInfo (index);
                    auto wanted = parameterValue (plugin, index, argument);
                    auto actual = plugin.getParameter (index);
                    // Values travel through the plug-in's normalised range, so allow for rounding.
                    auto tolerance = 1.0e-4 * std::max ({ 1.0f, std::abs (info.minValue), std::abs (info.maxValue) });

                    if (! (std::abs (actual - wanted) <= tolerance))
                        throw std::runtime_error ("expected " + first + " = " + formatNumber (wanted)
                                                  + ", but it is " + formatNumber (actual));
                }
                else if (command == "idle")
                {
                    needArguments (! first.empty() && argument.empty(), "idle MS");
                    const auto ms = requireInt ("idle", first, 0, 600000);
                    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds (ms);

                    do
                    {
                        plugin.idle();
                        printer.flush();
                        std::this_thread::sleep_for (std::chrono::milliseconds (5));
                    }
                    while (std::chrono::steady_clock::now() < until);
                }
                else if (command == "render")
                {
                    needArguments (! first.empty() && argument.empty(), "render BLOCKS");
                    const auto blocks = requireInt ("render", first, 0, 1 << 20);

                    for (int b = 0; b < blocks; ++b)
                    {
                        for (size_t channel = 0; channel < buffer.size(); ++channel)
                            std::fill (buffer[channel].begin(), buffer[channel].end(), 0.0f);

                        if (layout.inputs > 0)
                        {
                            tone.fill (buffer[0].data(), defaultBlock);

                            for (size_t channel = 1; channel < (size_t) layout.inputs; ++channel)
                                std::copy (buffer[0].begin(), buffer[0].end(), buffer[channel].begin());
                        }

                        requireOk (plugin.render (pointers.data(), (int) pointers.size(), defaultBlock), "render");
                        plugin.idle();
                        printer.flush();
                    }
                }
                else if (command == "state-save")
                {
                    needArguments (! rest.empty(), "state-save FILE");
                    writeBytes (rest, plugin.getState());
                }
                else if (command == "state-load")
                {
                    needArguments (! rest.empty(), "state-load FILE");
                    requireOk (plugin.setState (readBytes (rest)), "state-load");
                }
                else if (command == "program")
                {
                    needArguments (! first.empty() && argument.empty(), "program N");
                    requireOk (plugin.setCurrentProgram (requireInt ("program", first, 0, INT32_MAX)), "program");
                }
                else if (command == "begin" || command == "end")
                {
                    throw std::runtime_error ("gestures come from the plug-in; a host cannot " + command + " one");
                }
                else
                {
                    throw std::runtime_error ("unknown command '" + command + "'");
                }
            }
            catch (const std::exception& e)
            {
                printer.flush();
                throw std::runtime_error (args[1] + ":" + std::to_string (lineNumber) + ": " + e.what());
            }

            printer.flush();
        }

        requireOk (plugin.unprepare(), "unprepare");
        printer.flush();
        return 0;
    }
}

int main (int argc, char** argv)
{
    std::vector<std::string> args (argv + std::min (argc, 1), argv + argc);

    try
    {
        if (args.empty())
            throw UsageError ("no command given");

        const auto command = args.front();
        args.erase (args.begin());

        if (command == "describe")  return describe (args);
        if (command == "render")    return render (args);
        if (command == "automate")  return automate (args);

        if (command == "--help" || command == "-h")
        {
            std::cout << usageText;
            return 0;
        }

        throw UsageError ("unknown command '" + command + "'");
    }
    catch (const UsageError& e)
    {
        std::cerr << "pellion-host: " << e.what() << '\n' << usageText;
        return 2;
    }
    catch (const std::exception& e)
    {
        std::cout.flush();
        std::cerr << "pellion-host: error: " << e.what() << '\n';
        return 1;
    }
}
