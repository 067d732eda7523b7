#include "Host/BareXServer.h"
#include "Host/HostToolRun.h"
#include "SignalTools.h"
#include "Support/Waiting.h"
#include "WavFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstddef>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <utility>
#include <string>
#include <tuple>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
struct ToolCase
{
    const char* arguments;
    int exitCode;
    std::vector<std::string> shown;     // "{folder}" stands for the folder the tool runs in
    std::vector<std::string> absent = {};
};

// What a command refused before any work: its whole output is one line.
const std::string helpPointer = " (pellion-host --help shows how to use it)\n";

// In the order given: later cases read files earlier ones wrote.
const ToolCase toolCases[] = {
    { "describe {bundle}", 0,
      { "name: Pellion\n", "version: 0.2.0\n", "[4] mixWet \"Dry/wet balance\" range 0 .. 127 default 63",
        "[5] bypass \"Bypass\"", "texts: min \"Off\" default \"On\" max \"On\"", "programs: 1\n  [0] \"Default\" (current)" } },
    { "--help", 0,
      { "--rate HZ          sample rate, 1000 to 1000000", "--block N          frames per block, 1 to 65536",
        "text ID TEXT", "expect ID VALUE", "state-load FILE" } },
    { "render {bundle} --seconds 0.1 --set bypass=Off --set mixWet=100 --out out.wav --state-out saved.state", 0,
      { "rendered 4800 frames at 48000 Hz in blocks of 512\n", "  mixWet = 100 (100)\n", "  bypass = 0 (Off)\n",
        "wrote audio: {folder}/out.wav\n", "wrote state: {folder}/saved.state\n" },
      { "warning" } },
    { "render {bundle} --seconds 0.1 --state-in saved.state", 0, { "  mixWet = 100 (100)\n", "  bypass = 0 (Off)\n" } },
    { "render {bundle} --state-in out.wav", 1, { "error: out.wav is not a plug-in state: it does not start with \"VC2!\"" } },
    { "render {bundle} --seconds 0.1 --state-in damaged.state", 1,
      { "pellion-host: error: the plug-in did not take the state in damaged.state (KAU_ErrInvalidArgument); nothing was restored\n" },
      { "rendered" } },

    // A value out of range is set to the nearest end, and the user is told.
    { "render {bundle} --seconds 0.1 --set mixWet=500 --set adcL=-3", 0,
      { "warning: mixWet = 500 is outside its range 0 .. 127; it was set to 127 (127)\n",
        "warning: adcL = -3 is outside its range 0 .. 127; it was set to 0 (0)\n", "  mixWet = 127 (127)\n" } },
    { "render {bundle} --set mixWet=loud", 1,
      { "error: 'loud' is neither a number nor a text of mixWet, which shows values from '0' to '127'" } },
    { "render {bundle} --set bypass=on", 1, { "'on' is neither a number nor a text of bypass" } },

    // Files that cannot be written are refused before anything is rendered.
    { "render {bundle} --seconds 0.1 --out missing/out.wav", 1,
      { "pellion-host: error: cannot write missing/out.wav: there is no folder missing\n" }, { "rendered" } },
    { "render {bundle} --seconds 0.1 --state-out missing/saved.state", 1,
      { "pellion-host: error: cannot write missing/saved.state: there is no folder missing\n" }, { "rendered" } },
    { "render {bundle} --seconds 0.1 --out folder.wav", 1,
      { "pellion-host: error: cannot write folder.wav: it is a folder\n" }, { "rendered" } },
    { "render {bundle} --seconds 0.1 --out good.script/out.wav", 1,
      { "pellion-host: error: cannot write good.script/out.wav: good.script is not a folder\n" }, { "rendered" } },
    { "automate {bundle} good.script", 0,
      { "> text bypass Off\n", "bypass = 0 (Off)\n", "wrote state: {folder}/script.state\n",
        "warning: mixWet = 500 is outside its range 0 .. 127; it was set to 127 (127)\n" } },
    { "automate {bundle} bad.script", 1, { "bad.script:2: 'loud' is neither a number nor a text of adcL" } },
    { "automate {bundle} lost-state.script", 1, { "lost-state.script:1: cannot write missing/x.state: there is no folder missing" } },
    { "automate {bundle} damaged-state.script", 1,
      { "damaged-state.script:1: the plug-in did not take the state in damaged.state (KAU_ErrInvalidArgument); nothing was restored\n" } },
    { "automate {bundle} program.script", 1,
      { "program.script:2: there is no program 5; the plug-in has 1 program: 0 \"Default\"\n" }, { "KAU_Err" } },
    { "automate {bundle} unknown.script", 1, { "> get nosuch\npellion-host: error: unknown.script:1: no parameter with identifier 'nosuch'\n" },
      { "nosuch =" } },
    { "automate {bundle} jpeg.script", 1,
      { "jpeg.script:2: 'shot.jpg' does not end in .png, the only kind of file written here\n" }, { "rendered", "wrote" } },

    // Arguments the tool cannot use: one line, naming the argument and pointing to --help.
    { "render {bundle} --block 65537", 2,
      { "pellion-host: --block needs a whole number from 1 to 65536, not '65537'" + helpPointer } },
    { "render {bundle} --rate 500", 2, { "pellion-host: --rate needs a number from 1000 to 1000000, not '500'" + helpPointer } },
    { "render {bundle} --loud", 2, { "pellion-host: unknown option: --loud" + helpPointer } },
    { "render {bundle} --seconds 0.1 --out out.mp3", 2,
      { "pellion-host: 'out.mp3' does not end in .wav, the only kind of file written here" + helpPointer } },
    { "screenshot {bundle}", 2, { "pellion-host: screenshot needs a BUNDLE and a FILE.png" + helpPointer } },
    { "screenshot {bundle} shot.jpg", 2,
      { "pellion-host: 'shot.jpg' does not end in .png, the only kind of file written here" + helpPointer } },
    { "paint {bundle}", 2, { "pellion-host: unknown command 'paint'" + helpPointer } },
    { "", 2, { "pellion-host: no command given" + helpPointer } },
};

TEST (HostTool, RunsItsCommandsAndRefusesWhatItCannotDoWithAClearMessage)
{
    const char* home = std::getenv ("HOME");
    ASSERT_NE (home, nullptr);
    const auto folder = std::filesystem::path (home) / "tool";
    std::filesystem::create_directories (folder / "folder.wav");
    std::ofstream (folder / "good.script") << "# comment\n\ntext bypass Off\nget bypass\nexpect bypass Off\n"
                                              "state-save script.state\nstate-load script.state\nset mixWet 500\n";
    std::ofstream (folder / "bad.script") << "set adcL 3\ntext adcL loud\n";
    std::ofstream (folder / "lost-state.script") << "state-save missing/x.state\n";
    std::ofstream (folder / "jpeg.script") << "render 1\nscreenshot shot.jpg\n";
    std::ofstream (folder / "program.script") << "program 0\nprogram 5\n";
    std::ofstream (folder / "unknown.script") << "get nosuch\n";
    std::ofstream (folder / "damaged-state.script") << "state-load damaged.state\n";

    // A state in its wrapping whose root is no longer the plug-in's.
    const std::string damaged = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <Pellio version=\"0.2.0\"/>";
    const uint32_t length = (uint32_t) damaged.size();
    std::ofstream (folder / "damaged.state", std::ios::binary)
        << "VC2!" << (char) (length & 0xff) << (char) (length >> 8) << std::string (2, '\0') << damaged << '\0';

    for (const auto& c : toolCases)
    {
        SCOPED_TRACE (c.arguments);
        const auto result = runTool (folder, c.arguments);
        EXPECT_EQ (result.exitCode, c.exitCode) << result.output;

        // The framework's banner never reaches a user of the tool.
        EXPECT_EQ (result.output.find ("JUCE v"), std::string::npos) << result.output;

        for (auto shown : c.shown)
        {
            if (const auto at = shown.find ("{folder}"); at != std::string::npos)
                shown.replace (at, 8, folder.string());

            EXPECT_NE (result.output.find (shown), std::string::npos) << shown << "\nin:\n" << result.output;

            // A refusal before any work is that one line and nothing else.
            if (c.exitCode == 2)
            {
                EXPECT_EQ (result.output, shown);
            }
        }

        for (const auto& absent : c.absent)
            EXPECT_EQ (result.output.find (absent), std::string::npos) << absent << "\nin:\n" << result.output;
    }

    for (const auto* never : { "missing", "out.mp3", "shot.jpg" })
        EXPECT_FALSE (std::filesystem::exists (folder / never)) << never;
}

// A tone's frequency from its rising zero crossings, each placed between its
// two samples; 0 with fewer than two.
double frequencyOf (const std::vector<float>& samples, double sampleRate)
{
    std::vector<double> crossings;

    for (size_t i = 1; i < samples.size(); ++i)
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f)
            crossings.push_back ((double) i - 1.0 + samples[i - 1] / (samples[i - 1] - samples[i]));

    if (crossings.size() < 2)
        return 0.0;

    return (double) (crossings.size() - 1) * sampleRate / (crossings.back() - crossings.front());
}

// A file rendered at another rate, up or down, lasts as long and sounds as high
// as it did, as the dry signal of a bypassed render shows; at its own rate it
// is rendered as it stands.
TEST (HostTool, ResamplesAnInputAtAnotherRate)
{
    const auto folder = std::filesystem::path (std::getenv ("HOME")) / "rates";
    std::filesystem::create_directories (folder);

    // Half a second of the tone at the file's rate; the rate asked for; the rate and frames rendered.
    const std::tuple<double, const char*, double, int> cases[] = {
        { 44100.0, "--rate 48000", 48000.0, 24000 },
        { 48000.0, "--rate 44100", 44100.0, 22050 },
        { 44100.0, "", 44100.0, 22050 },
    };

    for (const auto& [fileRate, rate, sampleRate, frames] : cases)
    {
        SCOPED_TRACE (std::to_string (fileRate) + " " + rate);
        AudioData tone;
        tone.sampleRate = fileRate;
        tone.channels = { sine ((int) fileRate / 2, fileRate, 1000.0, -12.0) };
        std::string error;
        ASSERT_TRUE (writeWav ((folder / "tone.wav").string(), tone, WavSampleFormat::float32, error)) << error;

        const auto result = runTool (folder, std::string ("render {bundle} --in tone.wav --bypass --out out.wav ") + rate);
        ASSERT_EQ (result.exitCode, 0) << result.output;
        const auto note = "resampled tone.wav from " + std::to_string ((int) fileRate) + " Hz to "
                        + std::to_string ((int) sampleRate) + " Hz\n";
        EXPECT_EQ (result.output.find (note) != std::string::npos, fileRate != sampleRate) << result.output;

        AudioData output;
        ASSERT_TRUE (readWav ((folder / "out.wav").string(), output, error)) << error;
        EXPECT_EQ (output.sampleRate, sampleRate);
        ASSERT_GE (output.numChannels(), 1);
        EXPECT_EQ (output.numFrames(), frames);
        EXPECT_NEAR (frequencyOf (output.channels[0], output.sampleRate), 1000.0, 0.5);
        EXPECT_NEAR (measure (output.channels[0]).peakDb, -12.0, 0.1);
    }
}

// The plug-in's latency is compensated as a host does: a file shorter than the
// latency comes out whole, as long as it went in and lined up with it, as the
// dry signal of a bypassed render shows. A tone that rises to its end tells
// a lost or shifted end from a kept one.
TEST (HostTool, CompensatesTheLatencySoTheOutputKeepsTheWholeInputLinedUp)
{
    const auto folder = std::filesystem::path (std::getenv ("HOME")) / "latency";
    std::filesystem::create_directories (folder);

    AudioData rising;
    rising.sampleRate = 8000.0;
    rising.channels = { sine (4000, rising.sampleRate, 440.0, -6.0) };
    for (size_t i = 0; i < rising.channels[0].size(); ++i)
        rising.channels[0][i] *= (float) (i + 1) / 4000.0f;
    std::string error;
    ASSERT_TRUE (writeWav ((folder / "rising.wav").string(), rising, WavSampleFormat::float32, error)) << error;

    const auto result = runTool (folder, "render {bundle} --in rising.wav --bypass --out out.wav");
    ASSERT_EQ (result.exitCode, 0) << result.output;
    EXPECT_NE (result.output.find (" samples, compensated: "), std::string::npos) << result.output;
    EXPECT_EQ (result.output.find ("warning"), std::string::npos) << result.output;

    AudioData output;
    ASSERT_TRUE (readWav ((folder / "out.wav").string(), output, error)) << error;
    ASSERT_EQ (output.numChannels(), 2);
    ASSERT_EQ (output.numFrames(), 4000);
    for (const auto& channel : output.channels)
    {
        int differing = 0;
        for (size_t i = 0; i < channel.size(); ++i)
            differing += std::abs (channel[i] - rising.channels[0][i]) > 1.0e-6f ? 1 : 0;
        EXPECT_EQ (differing, 0) << "frames that differ from the input's";
    }
}

// Width and height from a PNG file's header; zeros when it is not one.
std::pair<uint32_t, uint32_t> pngSize (const std::filesystem::path& file)
{
    unsigned char head[24] = {};
    std::ifstream (file, std::ios::binary).read (reinterpret_cast<char*> (head), 24);
    const auto word = [&head] (int at) { return (uint32_t) head[at] << 24 | (uint32_t) head[at + 1] << 16 | (uint32_t) head[at + 2] << 8 | head[at + 3]; };
    const unsigned char signature[16] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R' };
    const bool png = std::equal (head, head + 16, signature);
    return png ? std::pair { word (16), word (20) } : std::pair { 0u, 0u };
}

// Whether an X server answers on the display that a program started from here
// opens: $DISPLAY; unset or empty it names none, and the plug-in opens none.
// A local display (":N", "unix:N") is asked on its sockets, the abstract one and
// the one in /tmp/.X11-unix; a display on another host is taken as served.
bool xServerAnswers()
{
    const char* set = std::getenv ("DISPLAY");
    if (set == nullptr || *set == 0)
        return false;

    const std::string name = set;
    const auto colon = name.rfind (':');
    if (colon == std::string::npos)
        return false;

    if (const auto host = name.substr (0, colon); ! host.empty() && host != "unix")
        return true;

    const auto number = name.substr (colon + 1, name.find ('.', colon) - colon - 1);
    const auto path = "/tmp/.X11-unix/X" + number;

    for (const size_t skip : { 1, 0 }) // an abstract name starts with a NUL byte
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        if (skip + path.size() >= sizeof (address.sun_path))
            return false;
        std::memcpy (address.sun_path + skip, path.data(), path.size());

        const int socketFd = socket (AF_UNIX, SOCK_STREAM, 0);
        const auto length = (socklen_t) (offsetof (sockaddr_un, sun_path) + skip + path.size());
        const bool answered = socketFd >= 0 && connect (socketFd, reinterpret_cast<sockaddr*> (&address), length) == 0;
        if (socketFd >= 0)
            close (socketFd);
        if (answered)
            return true;
    }

    return false;
}

// The editor in a window of its own, pictured as PNG: a fresh instance and a
// scripted one. Without a display the tool says what it needs.
TEST (HostTool, PicturesTheEditorsWindow)
{
    const auto folder = std::filesystem::path (std::getenv ("HOME")) / "shots";
    std::filesystem::create_directories (folder);
    const auto refused = runTool (folder, "screenshot {bundle} none.png", "DISPLAY=:65000"); // a display nobody serves
    EXPECT_EQ (refused.exitCode, 1);
    EXPECT_NE (refused.output.find ("there is no display to open the editor's window on"), std::string::npos) << refused.output;

    // A DISPLAY that nobody serves (a stale one, say) is no display either.
    if (! xServerAnswers())
        GTEST_SKIP() << "no X display: set DISPLAY (scripts/test.sh runs the tests under Xvfb with openbox)";

    const auto fresh = runTool (folder, "screenshot {bundle} fresh.png");
    EXPECT_NE (fresh.output.find ("wrote editor picture: fresh.png (480 x 540)"), std::string::npos) << fresh.output;
    EXPECT_EQ (pngSize (folder / "fresh.png"), std::pair (480u, 540u));

    // A picture that cannot be written whole (files may grow to 512 bytes only) leaves the earlier one.
    const auto earlier = contents (folder / "fresh.png");
    const auto failed = runTool (folder, "screenshot {bundle} fresh.png", {}, "trap '' XFSZ; ulimit -f 1;");
    EXPECT_EQ (failed.output, "pellion-host: error: cannot write fresh.png: File too large; the file that was there is kept\n");
    EXPECT_TRUE (contents (folder / "fresh.png") == earlier) << "the earlier picture was replaced";

    std::ofstream (folder / "shots.script") << "text bypass Off\nscreenshot scripted.png\nrender 4\n";
    EXPECT_EQ (runTool (folder, "automate {bundle} shots.script").exitCode, 0);
    EXPECT_EQ (pngSize (folder / "scripted.png"), std::pair (480u, 540u));
}

// On a display where no window manager has run the tool pictures the editor all the same.
TEST (HostTool, PicturesTheEditorOnADisplayWithoutAWindowManager)
{
    const BareXServer server;
    if (! server.started)
        GTEST_SKIP() << "no Xvfb could be started (apt install xvfb)";
    ASSERT_FALSE (server.display.empty()) << "Xvfb named no display within " << patience.count() << " ms";

    const auto folder = std::filesystem::path (std::getenv ("HOME")) / "bare";
    std::filesystem::create_directories (folder);
    const auto result = runTool (folder, "screenshot {bundle} bare.png", "DISPLAY=" + server.display);
    EXPECT_EQ (result.exitCode, 0) << result.output;
    EXPECT_EQ (result.output, "wrote editor picture: bare.png (480 x 540)\n");
    EXPECT_EQ (pngSize (folder / "bare.png"), std::pair (480u, 540u));
}

TEST (HostTool, LoadsABundleNamedWithoutAFolder)
{
    const std::filesystem::path bundle (PELLION_BUNDLE_PATH);
    const auto result = runTool (bundle.parent_path(), "describe " + bundle.filename().string());
    EXPECT_EQ (result.exitCode, 0) << result.output;
    EXPECT_NE (result.output.find ("name: Pellion\n"), std::string::npos) << result.output;
}
} // namespace
