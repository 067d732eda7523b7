// An hour of streaming through the emulated pedal at each clock drift, in
// co-simulation: per drift the restarts, the rings' lows against their
// set points and ranges, the settling time and the latency error
// (reported latency minus the measured round trip); then fill and resampling
// ratio over the hour, drawn into a PNG.
//
//   pellion-cosim-report [picture.png] [seconds]
#include "Emulation/DriftRecording.h"
#include "Emulation/EmulatedPedal.h"
#include "Emulation/LinkTimers.h"
#include "Emulation/SimulatedAttachment.h"

#include <juce_graphics/juce_graphics.h>
#include <cstdio>

namespace
{
struct Run
{
    double ppm;
    DriftRecording::Summary summary;
    std::vector<DriftRecording::Second> seconds;
};

Run runDrift (double ppm, double duration)
{
    using Manager = UsbBaseDeviceManager<UsbDevice>;
    const juce::String name ("QZR-1A2B");

    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    ports.install();
    audioTypes.install();
    audioTypes.setManualByDefault (true);

    VirtualAudioBehaviour behaviour;
    behaviour.manual = true;
    behaviour.clockPpm = ppm;
    audioTypes.setBehaviour (name, behaviour);

    EmulatedPedal pedal (ports, audioTypes, name, 0x15);
    pedal.getAudio().setRoundTrip (700);
    pedal.plugIn();

    Run run { ppm, {}, {} };
    {
        juce::SharedResourcePointer<Manager> manager;
        manager->scanForDevices();
        CoSimulation sim (audioTypes);
        LinkTimers timers (*manager, ports);
        sim.addPeriodicWork (10, [&] { timers.runDue (sim.getMilliseconds()); });

        auto* device = manager->findDevice (name);
        auto* client = device != nullptr ? attachSimulatedClient (*device, sim, Mode::audio, 512, 48000.0,
                                                                  ChannelSetting::stereo, PedalModeConfig::none)
                                         : nullptr;
        if (client == nullptr)
        {
            std::fprintf (stderr, "the emulated pedal did not answer\n");
            return run;
        }

        DriftRecording recording (sim, *client, 512);
        recording.run (duration);
        run.summary = recording.summarise();
        run.seconds = recording.getSeconds();
        manager->getRetiredObjects().releaseSafeObjects();
    }

    pedal.unplug();
    return run;
}

void printTable (const std::vector<Run>& runs)
{
    std::printf ("\n%8s %8s %9s %21s %21s %13s %13s %9s %10s %10s %9s\n", "drift", "restarts", "settled", "to-device low",
                 "from-device low", "raw to low", "raw from low", "both raw", "mean err", "settled", "worst");
    std::printf ("%8s %8s %9s %21s %21s %13s %13s %9s %10s %10s %9s\n", "ppm", "", "after s", "min/max (range)",
                 "min/max (range)", "min/max", "min/max", "min/max", "samples", "err", "err");

    for (const auto& r : runs)
    {
        const auto& s = r.summary;
        std::printf ("%+8.0f %8d %9.0f %7d/%-6d (%5d) %7d/%-6d (%5d) %6d/%-6d %6d/%-6d %4d/%-4d %+10.3f %+10.3f %9.2f\n",
                     r.ppm, s.restarts, s.settledAfter, s.toDeviation[0], s.toDeviation[1], s.toRange,
                     s.fromDeviation[0], s.fromDeviation[1], s.fromRange, s.toRawDeviation[0], s.toRawDeviation[1],
                     s.fromRawDeviation[0], s.fromRawDeviation[1], s.rawSumDeviation[0], s.rawSumDeviation[1],
                     s.meanError, s.meanSettledError, s.worstError);
    }

    std::printf ("\nLows: the lowest fills drift control saw each second, minus the set points it holds them at,\n"
                 "over the run. Raw lows: each ring's own lowest fill each second minus its set point; both raw:\n"
                 "the two rings' fills at each host block minus their targets less the block (the set points add\n"
                 "up to the targets, which make the latency). Settled: from when both lows stay within %d samples\n"
                 "of their set points. Errors: reported latency minus the measured round trip of an impulse\n"
                 "every half second.\n",
                 DriftRecording::settleBand);
}

// One row per drift: the two lows against their targets, and both ratios in ppm.
juce::Image draw (const std::vector<Run>& runs, double duration)
{
    constexpr int width = 1400, rowHeight = 150, label = 110, gap = 24, top = 40;
    const int plotWidth = (width - label - 3 * gap) / 2;
    juce::Image image (juce::Image::RGB, width, top + rowHeight * (int) runs.size() + 30, true);
    juce::Graphics g (image);
    g.fillAll (juce::Colours::white);
    g.setColour (juce::Colours::black);
    g.setFont (16.0f);
    g.drawText ("Fill minus set point (samples, +/-256)", label + gap, 8, plotWidth, 24, juce::Justification::centred);
    g.drawText ("Resampling ratio - 1 (ppm, +/-110)", label + 2 * gap + plotWidth, 8, plotWidth, 24, juce::Justification::centred);

    const auto toColour = juce::Colour (0xff1f77b4), fromColour = juce::Colour (0xffd62728);

    for (size_t row = 0; row < runs.size(); ++row)
    {
        const auto& r = runs[row];
        const int y = top + (int) row * rowHeight;
        g.setColour (juce::Colours::black);
        g.setFont (15.0f);
        g.drawText (juce::String (r.ppm, 0) + " ppm", 4, y, label - 8, rowHeight / 2, juce::Justification::centredRight);
        g.setFont (12.0f);
        g.drawText (juce::String (r.summary.restarts) + " restarts", 4, y + rowHeight / 2, label - 8, 16,
                    juce::Justification::centredRight);

        auto plot = [&] (int x, double scale, auto value, juce::Colour colour)
        {
            const juce::Rectangle<float> area ((float) x, (float) y + 6, (float) plotWidth, (float) rowHeight - 16);
            g.setColour (juce::Colours::lightgrey);
            g.drawRect (area);
            g.drawHorizontalLine ((int) area.getCentreY(), area.getX(), area.getRight());

            juce::Path path;
            bool started = false;
            for (const auto& s : r.seconds)
            {
                const auto v = value (s);
                if (! v.has_value())
                    continue;
                const float px = area.getX() + (float) (s.time / duration) * area.getWidth();
                const float py = area.getCentreY() - (float) juce::jlimit (-1.0, 1.0, *v / scale) * area.getHeight() / 2;
                started ? path.lineTo (px, py) : path.startNewSubPath (px, py);
                started = true;
            }

            g.setColour (colour);
            g.strokePath (path, juce::PathStrokeType (1.3f));
        };

        auto lowMinusTarget = [] (int low, int target) -> std::optional<double>
        {
            if (low < 0)
                return std::nullopt;
            return (double) (low - target);
        };

        const int fillX = label + gap, ratioX = label + 2 * gap + plotWidth;
        plot (fillX, 256.0, [&] (const auto& s) { return lowMinusTarget (s.toLow, s.toTarget); }, toColour);
        plot (fillX, 256.0, [&] (const auto& s) { return lowMinusTarget (s.fromLow, s.fromTarget); }, fromColour);
        plot (ratioX, 110.0, [] (const auto& s) { return std::optional<double> ((s.toRatio - 1.0) * 1.0e6); }, toColour);
        plot (ratioX, 110.0, [] (const auto& s) { return std::optional<double> ((s.fromRatio - 1.0) * 1.0e6); }, fromColour);
    }

    const int legendY = top + rowHeight * (int) runs.size() + 6;
    g.setFont (14.0f);
    g.setColour (toColour);
    g.drawText ("to-device ring (read by the pedal's clock)", label + gap, legendY, 420, 18, juce::Justification::left);
    g.setColour (fromColour);
    g.drawText ("from-device ring (read by the host's clock)", label + gap + 440, legendY, 420, 18, juce::Justification::left);
    g.setColour (juce::Colours::black);
    g.drawText ("0 to " + juce::String (duration, 0) + " s", width - 220, legendY, 200, 18, juce::Justification::right);
    return image;
}
} // namespace

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI framework;
    const juce::File picture = argc > 1 ? juce::File::getCurrentWorkingDirectory().getChildFile (argv[1])
                                        : juce::File::getCurrentWorkingDirectory().getChildFile ("cosim-drift.png");
    const double duration = argc > 2 ? juce::jlimit (10.0, 36000.0, juce::String (argv[2]).getDoubleValue()) : 3600.0;

    std::vector<Run> runs;
    for (double ppm : { 0.0, 20.0, -20.0, 50.0, -50.0, 90.0, -90.0, 120.0, -120.0 })
    {
        std::printf ("%+.0f ppm: %.0f s of streaming...\n", ppm, duration);
        std::fflush (stdout);
        runs.push_back (runDrift (ppm, duration));
    }

    printTable (runs);

    picture.deleteFile();
    juce::FileOutputStream out (picture);
    juce::PNGImageFormat png;
    if (! out.openedOk() || ! png.writeImageToStream (draw (runs, duration), out))
    {
        std::fprintf (stderr, "could not write %s\n", picture.getFullPathName().toRawUTF8());
        return 1;
    }

    std::printf ("\nFill and ratio over the run: %s\n", picture.getFullPathName().toRawUTF8());
    return 0;
}
