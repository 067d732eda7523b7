// pellion-host: loads the plug-in bundle the way a host does, through its two
// C entry points only, and drives it from the command line.

#include "Commands.h"
#include "PluginInstance.h"

#include <algorithm>
#include <iostream>

namespace
{
std::string usage()
{
    const auto range = [] (double low, double high) { return formatNumber (low) + " to " + formatNumber (high); };

    return "usage:\n"
           "  pellion-host describe BUNDLE\n"
           "      the plug-in's buses, parameters with their value texts, and programs\n"
           "  pellion-host render BUNDLE [OPTIONS]\n"
           "      renders audio through the plug-in and prints its parameters and the levels in and out;\n"
           "      its latency is compensated as a host does: the output, as long as the input, lines up\n"
           "      with it (the latency's frames of silence are rendered after the input, and the output's\n"
           "      first frames, as many, dropped)\n"
           "      --in FILE.wav      input audio (PCM 16, 24 or 32-bit, or 32-bit float); or\n"
           "      --tone HZ          a sine at " + formatNumber (toneLevelDb) + " dBFS (default "
                                    + formatNumber (toneFrequency) + " Hz)\n"
           "      --seconds S        length, up to " + formatNumber (maximumRenderSeconds) + " (default: the input's, or 2)\n"
           "      --rate HZ          sample rate, " + range (KAU_MIN_SAMPLE_RATE, KAU_MAX_SAMPLE_RATE)
                                    + " (default: the input's, or " + formatNumber (defaultSampleRate) + ");\n"
           "                         an input at another rate is resampled to it\n"
           "      --block N          frames per block, 1 to " + std::to_string (KAU_MAX_FRAMES_PER_BLOCK)
                                    + " (default " + std::to_string (defaultBlockFrames) + ")\n"
           "      --out FILE.wav     writes the output as 32-bit float\n"
           "      --set ID=VALUE     sets a parameter: a number in host units (one outside the parameter's\n"
           "                         range is set to its nearest end, with a warning), or a text it shows; repeatable\n"
           "      --bypass           renders through the plug-in's bypassed path\n"
           "      --state-in FILE    restores a state saved by --state-out or state-save first\n"
           "      --state-out FILE   saves the state after rendering\n"
           "  pellion-host automate BUNDLE SCRIPT\n"
           "      runs SCRIPT at " + formatNumber (defaultSampleRate) + " Hz in blocks of "
                                    + std::to_string (defaultBlockFrames) + ", printing the plug-in's events;\n"
           "      one command a line, blank lines and lines starting with # skipped:\n"
           "      set ID VALUE       sets a parameter to a number in host units\n"
           "      text ID TEXT       sets a parameter from a text it shows, e.g. 'text bypass On'\n"
           "      get ID             prints a parameter's value and text\n"
           "      expect ID VALUE    stops with an error unless the parameter has VALUE (a number or a text)\n"
           "      render BLOCKS      renders 0 to " + std::to_string (maximumScriptBlocks) + " blocks of a "
                                    + formatNumber (toneFrequency) + " Hz tone\n"
           "      idle MS            runs the plug-in's message loop for 0 to " + std::to_string (maximumIdleMs) + " ms\n"
           "      program N          chooses program N\n"
           "      state-save FILE    saves the state\n"
           "      state-load FILE    restores a saved state\n"
           "      screenshot FILE.png  opens the editor in a window (once), lets it settle and saves its picture\n"
           "  pellion-host screenshot BUNDLE FILE.png\n"
           "      opens a fresh instance's editor in a window and saves its picture (needs an X display;\n"
           "      scripts/run.sh starts one of its own)\n"
           "  pellion-host --help\n"
           "BUNDLE is the plug-in's shared library, e.g. build/debug/Pellion.component/Pellion.so.\n";
}
} // namespace

int main (int argc, char** argv)
{
    Arguments args (argv + std::min (argc, 1), argv + argc);

    try
    {
        if (args.empty())
            throw UsageError ("no command given");

        const auto command = args.front();
        args.erase (args.begin());

        if (command == "describe")  return describeCommand (args);
        if (command == "render")    return renderCommand (args);
        if (command == "automate")  return automateCommand (args);
        if (command == "screenshot") return screenshotCommand (args);

        if (command == "--help" || command == "-h")
        {
            std::cout << usage();
            return 0;
        }

        throw UsageError ("unknown command '" + command + "'");
    }
    catch (const UsageError& e)
    {
        std::cerr << "pellion-host: " << e.what() << " (pellion-host --help shows how to use it)\n";
        return 2;
    }
    catch (const std::exception& e)
    {
        std::cout.flush();
        std::cerr << "pellion-host: error: " << e.what() << '\n';
        return 1;
    }
}
