#include "Commands.h"
#include "LoadedPlugin.h"
#include "OutputFile.h"
#include "Resample.h"
#include "SignalTools.h"
#include "WavFile.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <iterator>
#include <optional>

namespace
{
struct RenderOptions
{
    std::string inPath, outPath, stateIn, stateOut;
    double toneHz = toneFrequency;
    double seconds = -1.0;
    double rate = -1.0;
    int block = defaultBlockFrames;
    bool bypass = false;
    bool haveTone = false;
    std::vector<std::pair<std::string, std::string>> settings;    // identifier, value text
};

RenderOptions parseOptions (const Arguments& args)
{
    RenderOptions options;

    for (size_t i = 1; i < args.size(); ++i)
    {
        const auto& option = args[i];

        if (option == "--bypass")
        {
            options.bypass = true;
            continue;
        }

        static const char* const valueOptions[] = { "--in", "--tone", "--seconds", "--rate", "--block",
                                                    "--out", "--set", "--state-in", "--state-out" };

        if (std::find (std::begin (valueOptions), std::end (valueOptions), option) == std::end (valueOptions))
            throw UsageError ("unknown option: " + option);

        if (i + 1 >= args.size())
            throw UsageError (option + " needs a value");

        const auto& value = args[++i];

        if (option == "--in")               options.inPath = value;
        else if (option == "--tone")        { options.toneHz = requireNumber (option, value, 0.0, KAU_MAX_SAMPLE_RATE / 2); options.haveTone = true; }
        else if (option == "--seconds")     options.seconds = requireNumber (option, value, 0.0, maximumRenderSeconds);
        else if (option == "--rate")        options.rate = requireNumber (option, value, KAU_MIN_SAMPLE_RATE, KAU_MAX_SAMPLE_RATE);
        else if (option == "--block")       options.block = requireWholeNumber (option, value, 1, KAU_MAX_FRAMES_PER_BLOCK);
        else if (option == "--out")         options.outPath = value;
        else if (option == "--state-in")    options.stateIn = value;
        else if (option == "--state-out")   options.stateOut = value;
        else
        {
            const auto equals = value.find ('=');

            if (equals == std::string::npos || equals == 0)
                throw UsageError ("--set needs ID=VALUE, not '" + value + "'");

            options.settings.emplace_back (value.substr (0, equals), value.substr (equals + 1));
        }
    }

    if (options.haveTone && ! options.inPath.empty())
        throw UsageError ("--in and --tone exclude each other");

    return options;
}

// The whole input up front, so that its levels can be measured like the output's.
AudioData makeInput (const RenderOptions& options, const AudioData& file, int inputs, int totalFrames)
{
    AudioData input;
    input.sampleRate = options.rate;

    for (int channel = 0; channel < inputs; ++channel)
    {
        if (options.inPath.empty())
        {
            input.channels.push_back (sine (totalFrames, options.rate, options.toneHz, toneLevelDb));
            continue;
        }

        // A mono file feeds every input; otherwise channels beyond the file stay silent.
        const int source = file.numChannels() == 1 ? 0 : channel;
        auto samples = silence (totalFrames);

        if (source < file.numChannels())
            std::copy_n (file.channels[(size_t) source].begin(), std::min (totalFrames, file.numFrames()), samples.begin());

        input.channels.push_back (std::move (samples));
    }

    return input;
}

// Keeps of the file only the channels the plug-in takes (a mono file feeds
// them all), so that no other is resampled or held, and brings them to the
// rate rendered at.
void fitInput (const RenderOptions& options, AudioData& file, int inputs, int totalFrames)
{
    if (inputs == 0 || file.numChannels() > inputs)
    {
        std::cerr << "warning: " << options.inPath << " has " << file.numChannels() << " channels, the plug-in takes "
                  << inputs << "; the rest are ignored\n";
        file.channels.resize ((size_t) inputs);
    }

    // Relabelling the samples would change the duration and the pitch.
    if (file.sampleRate != options.rate)
    {
        const auto frames = std::min (totalFrames, (int) std::round (file.numFrames() * options.rate / file.sampleRate));

        for (auto& channel : file.channels)
            channel = resample (channel, file.sampleRate, options.rate, frames);

        std::cout << "resampled " << options.inPath << " from " << formatNumber (file.sampleRate) << " Hz to "
                  << formatNumber (options.rate) << " Hz\n";
        file.sampleRate = options.rate;
    }
}

// Compensates the plug-in's latency as a host does: the input goes in followed
// by `latency` frames of silence, and the output's first `latency` frames, which
// come before anything of the input, are dropped. The output is as long as the
// input, lines up with it, and keeps its end.
AudioData renderBlocks (PluginInstance& plugin, const ChannelLayout& layout, const AudioData& input, int totalFrames, int block,
                        int latency)
{
    AudioData output;
    output.sampleRate = input.sampleRate;
    output.channels.assign ((size_t) layout.outputs, std::vector<float> ((size_t) totalFrames));

    std::vector<std::vector<float>> buffer ((size_t) layout.buffer(), std::vector<float> ((size_t) block));
    std::vector<float*> pointers;
    pointers.reserve (buffer.size());

    for (auto& channel : buffer)
        pointers.push_back (channel.data());

    const int renderedFrames = totalFrames + latency;

    for (int start = 0; start < renderedFrames; start += block)
    {
        const int frames = std::min (block, renderedFrames - start);
        const int fromInput = std::clamp (totalFrames - start, 0, frames);

        for (size_t channel = 0; channel < buffer.size(); ++channel)
        {
            std::fill_n (buffer[channel].begin(), frames, 0.0f);
            if (channel < input.channels.size() && fromInput > 0)
                std::copy_n (input.channels[channel].begin() + start, fromInput, buffer[channel].begin());
        }

        requireOk (plugin.render (pointers.data(), (int) pointers.size(), frames),
                   "rendering frames " + std::to_string (start) + " to " + std::to_string (start + frames));

        // The block's frames that line up with input frames; none while the
        // latency lasts, and none at all when there is no input.
        const int skipped = std::clamp (latency - start, 0, frames);
        for (size_t channel = 0; channel < output.channels.size() && skipped < frames; ++channel)
            std::copy (buffer[channel].begin() + skipped, buffer[channel].begin() + frames,
                       output.channels[channel].begin() + (start + skipped - latency));

        plugin.idle();
        // Nobody reads the events here; don't let them pile up over a long render.
        plugin.clearEvents();
    }

    return output;
}

void printLevels (const char* label, const AudioData& audio)
{
    const auto levels = measure (audio.channels);

    for (size_t channel = 0; channel < levels.size(); ++channel)
        std::cout << label << ' ' << channel << ": peak " << formatDb (levels[channel].peakDb)
                  << " dBFS, rms " << formatDb (levels[channel].rmsDb) << " dBFS\n";
}
} // namespace

int renderCommand (const Arguments& args)
{
    if (args.empty())
        throw UsageError ("render needs a BUNDLE");

    auto options = parseOptions (args);

    if (! options.outPath.empty())
        requireWritableFile (options.outPath, ".wav");

    if (! options.stateOut.empty())
        requireWritableFile (options.stateOut);

    AudioData file;

    if (! options.inPath.empty())
    {
        std::string error;

        if (! readWav (options.inPath, file, error))
            throw std::runtime_error (error);

        if (options.rate < 0)
            options.rate = file.sampleRate;

        if (options.rate < KAU_MIN_SAMPLE_RATE || options.rate > KAU_MAX_SAMPLE_RATE)
            throw std::runtime_error (options.inPath + " is at " + formatNumber (options.rate) + " Hz; the plug-in runs at "
                                      + formatNumber (KAU_MIN_SAMPLE_RATE) + " to " + formatNumber (KAU_MAX_SAMPLE_RATE) + " Hz");
    }

    if (options.rate < 0)
        options.rate = defaultSampleRate;

    const double seconds = options.seconds >= 0 ? options.seconds
                                                : (! options.inPath.empty() ? file.numFrames() / file.sampleRate : 2.0);

    if (seconds > maximumRenderSeconds)
        throw std::runtime_error (options.inPath + " lasts " + formatNumber (seconds) + " s; render at most "
                                  + formatNumber (maximumRenderSeconds) + " s of it with --seconds");

    const int totalFrames = (int) std::round (seconds * options.rate);

    // Nothing to render is rendered as nothing: the output is as long as the input.
    if (! options.inPath.empty() && options.seconds < 0 && totalFrames == 0)
    {
        if (file.numFrames() == 0)
            std::cerr << "warning: " << options.inPath << " holds no audio; the output holds none either\n";
        else
            std::cerr << "warning: " << options.inPath << " at " << formatNumber (file.sampleRate)
                      << " Hz is too short to make a frame at " << formatNumber (options.rate)
                      << " Hz; the output holds none either\n";
    }

    const LoadedPlugin loaded (args[0]);
    auto& plugin = loaded.instance();

    if (! options.stateIn.empty())
        loaded.restoreState (options.stateIn);

    for (auto& [identifier, text] : options.settings)
    {
        const auto index = loaded.parameterIndex (identifier);
        loaded.setParameter (index, loaded.valueOf (index, text));
    }

    if (options.bypass)
        requireOk (plugin.setBypass (true), "bypass");

    const auto layout = loaded.channelLayout();
    if (! options.inPath.empty())
        fitInput (options, file, layout.inputs, totalFrames);

    requireOk (plugin.prepare (options.rate, options.block), "prepare");

    // What the plug-in reports once prepared is what a host compensates.
    const int32_t latency = std::max (0, plugin.latencySamples());
    const auto input = makeInput (options, file, layout.inputs, totalFrames);
    const auto output = renderBlocks (plugin, layout, input, totalFrames, options.block, latency);

    const int32_t latencyAtEnd = plugin.latencySamples();
    requireOk (plugin.unprepare(), "unprepare");

    std::cout << "rendered " << totalFrames << " frames at " << formatNumber (options.rate) << " Hz in blocks of "
              << options.block << (options.bypass ? " (bypassed)" : "") << '\n'
              << "latency: " << latency << " samples, compensated: " << latency
              << " frames of silence rendered after the input, the output's first " << latency << " dropped\n";

    if (latencyAtEnd != latency)
        std::cerr << "warning: the plug-in's latency changed to " << latencyAtEnd << " samples during the render; the output "
                  << "is lined up by the " << latency << " it reported when prepared\n";

    std::cout << "parameters:\n";
    for (int32_t i = 0; i < loaded.parameterCount(); ++i)
        std::cout << "  " << loaded.identifier (i) << " = " << loaded.valueWithText (i) << '\n';

    printLevels ("input", input);
    printLevels ("output", output);

    // Every output is written whole beside its target before any is put in
    // place, so that one that cannot be written replaces none.
    std::optional<OutputFile> stateFile, audioFile;

    if (! options.stateOut.empty())
        stateFile.emplace (options.stateOut, plugin.getState());

    if (! options.outPath.empty())
    {
        std::string error;
        const auto bytes = encodeWav (output, WavSampleFormat::float32, error);

        if (bytes.empty())
            throw std::runtime_error ("cannot write " + options.outPath + ": " + error);

        audioFile.emplace (options.outPath, bytes);
    }

    if (stateFile.has_value())
        std::cout << "wrote state: " << stateFile->putInPlace() << '\n';

    if (audioFile.has_value())
        std::cout << "wrote audio: " << audioFile->putInPlace() << '\n';

    return 0;
}
