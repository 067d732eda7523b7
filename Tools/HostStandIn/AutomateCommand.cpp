#include "Commands.h"
#include "EditorPicture.h"
#include "EventPrinter.h"
#include "InputFile.h"
#include "LoadedPlugin.h"
#include "SignalTools.h"
#include "StateFile.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <iostream>
#include <sstream>
#include <thread>

namespace
{
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

std::vector<std::string> readScript (const std::string& path)
{
    const auto bytes = readInputFile (path, InputFileLimits::scriptBytes, "script");
    std::vector<std::string> lines;
    std::istringstream script (std::string (bytes.begin(), bytes.end()));

    for (std::string line; std::getline (script, line);)
        lines.push_back (line);

    return lines;
}

// Runs the script's lines against one prepared instance, rendering a tone.
class ScriptRunner
{
public:
    explicit ScriptRunner (const LoadedPlugin& loaded)
        : loaded (loaded), plugin (loaded.instance()), printer (loaded, std::cout),
          tone (defaultSampleRate, toneFrequency, toneLevelDb)
    {
        const auto layout = loaded.channelLayout();
        inputs = layout.inputs;
        buffer.assign ((size_t) layout.buffer(), std::vector<float> (defaultBlockFrames));

        for (auto& channel : buffer)
            pointers.push_back (channel.data());

        requireOk (plugin.prepare (defaultSampleRate, defaultBlockFrames), "prepare");
        printer.flush();
    }


    void run (const std::string& line)
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
            needArguments (! first.empty() && ! argument.empty() && argument.find_first_of (" \t") == std::string::npos,
                           "set ID VALUE");
            const auto index = loaded.parameterIndex (first);
            double value = 0;

            if (! parseDouble (argument, value))
                throw std::runtime_error ("'" + argument + "' is not a number; 'text ID TEXT' sets a parameter from a text");

            loaded.setParameter (index, (float) value);
        }
        else if (command == "text")
        {
            needArguments (! first.empty() && ! argument.empty(), "text ID TEXT");
            const auto index = loaded.parameterIndex (first);
            requireOk (plugin.setParameter (index, loaded.valueOfText (index, argument)), "set");
        }
        else if (command == "get")
        {
            needArguments (! first.empty() && argument.empty(), "get ID");
            // Looked up first, so that an unknown one prints only its error.
            const auto value = loaded.valueWithText (loaded.parameterIndex (first));
            std::cout << first << " = " << value << '\n';
        }
        else if (command == "expect")
        {
            needArguments (! first.empty() && ! argument.empty(), "expect ID VALUE");
            expect (first, argument);
        }
        else if (command == "idle")
        {
            needArguments (! first.empty() && argument.empty(), "idle MS");
            idle (requireWholeNumber ("idle", first, 0, maximumIdleMs));
        }
        else if (command == "render")
        {
            needArguments (! first.empty() && argument.empty(), "render BLOCKS");
            render (requireWholeNumber ("render", first, 0, maximumScriptBlocks));
        }
        else if (command == "state-save")
        {
            needArguments (! rest.empty(), "state-save FILE");
            requireWritableFile (rest);
            std::cout << "wrote state: " << writeStateFile (rest, plugin.getState()) << '\n';
        }
        else if (command == "state-load")
        {
            needArguments (! rest.empty(), "state-load FILE");
            loaded.restoreState (rest);
        }
        else if (command == "program")
        {
            needArguments (! first.empty() && argument.empty(), "program N");
            loaded.selectProgram (requireWholeNumber ("program", first, 0, INT32_MAX));
        }
        else if (command == "screenshot")
        {
            needArguments (! rest.empty(), "screenshot FILE.png");
            requireWritableFile (rest, ".png");
            const auto written = saveEditorPicture (plugin, rest);
            std::cout << "wrote editor picture: " << written << '\n';
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

    void flush() { printer.flush(); }

    void finish()
    {
        requireOk (plugin.unprepare(), "unprepare");
        printer.flush();
    }

private:
    void expect (const std::string& identifier, const std::string& text)
    {
        const auto index = loaded.parameterIndex (identifier);
        const auto info = plugin.parameterInfo (index);
        const auto wanted = loaded.valueOf (index, text);
        const auto actual = plugin.getParameter (index);
        // Values travel through the plug-in's normalised range, so allow for rounding.
        const auto tolerance = 1.0e-4 * std::max ({ 1.0f, std::abs (info.minValue), std::abs (info.maxValue) });

        if (! (std::abs (actual - wanted) <= tolerance))
            throw std::runtime_error ("expected " + identifier + " = " + formatNumber (wanted)
                                      + ", but it is " + loaded.valueWithText (index));
    }

    void idle (int ms)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds (ms);

        do
        {
            plugin.idle();
            printer.flush();
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }
        while (std::chrono::steady_clock::now() < until);
    }

    void render (int blocks)
    {
        for (int b = 0; b < blocks; ++b)
        {
            for (auto& channel : buffer)
                std::fill (channel.begin(), channel.end(), 0.0f);

            if (inputs > 0)
            {
                tone.fill (buffer[0].data(), defaultBlockFrames);

                for (size_t channel = 1; channel < (size_t) inputs; ++channel)
                    std::copy (buffer[0].begin(), buffer[0].end(), buffer[channel].begin());
            }

            requireOk (plugin.render (pointers.data(), (int) pointers.size(), defaultBlockFrames), "render");
            plugin.idle();
            printer.flush();
        }
    }

    const LoadedPlugin& loaded;
    PluginInstance& plugin;
    EventPrinter printer;
    SineGenerator tone;
    int inputs = 0;
    std::vector<std::vector<float>> buffer;
    std::vector<float*> pointers;
};
} // namespace

int automateCommand (const Arguments& args)
{
    if (args.size() != 2)
        throw UsageError ("automate needs a BUNDLE and a SCRIPT");

    const auto lines = readScript (args[1]);
    const LoadedPlugin loaded (args[0]);
    ScriptRunner runner (loaded);

    for (size_t lineIndex = 0; lineIndex < lines.size(); ++lineIndex)
    {
        const auto line = trim (lines[lineIndex]);

        if (line.empty() || line[0] == '#')
            continue;

        std::cout << "> " << line << '\n';

        try
        {
            runner.run (line);
        }
        catch (const std::exception& e)
        {
            runner.flush();
            throw std::runtime_error (args[1] + ":" + std::to_string (lineIndex + 1) + ": " + e.what());
        }

        runner.flush();
    }

    runner.finish();
    return 0;
}
