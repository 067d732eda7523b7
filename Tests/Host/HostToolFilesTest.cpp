#include "Host/HostToolRun.h"
#include "WavFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

// The files a user names to the host stand-in: what it reads is checked before
// it is read, and what it writes replaces what was there only when whole.
namespace
{
namespace fs = std::filesystem;

fs::path freshFolder (const std::string& name)
{
    const auto folder = fs::path (std::getenv ("HOME")) / name;
    fs::remove_all (folder);
    fs::create_directories (folder);
    return folder;
}

std::set<std::string> namesIn (const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator (folder))
        names.insert (entry.path().filename().string());
    return names;
}

// Files may grow to 64 KiB only: a write beyond fails with EFBIG, as one on a
// full disk fails with ENOSPC, once SIGXFSZ (which would end the tool) is
// ignored. Unlike a small full file system, any user can set this up.
const std::string smallFileLimit = "trap '' XFSZ; ulimit -f 128;";

// A second of audio, 384,000 bytes, cannot be written; the tool says so, and
// what it wrote before is left as it was, the state too, though that fitted;
// nothing else is left beside them. Without the limit both are replaced,
// through a link to the audio, keeping the file's permissions.
TEST (HostToolFiles, AWriteThatFailsKeepsEveryEarlierOutput)
{
    const auto folder = freshFolder ("full");
    const std::string failing = "render {bundle} --seconds 1 --set mixWet=20 --out out.wav --state-out saved.state";

    const auto beforeAny = runTool (folder, failing, {}, smallFileLimit);
    EXPECT_EQ (beforeAny.exitCode, 1) << beforeAny.output;
    EXPECT_NE (beforeAny.output.find ("pellion-host: error: cannot write out.wav: File too large\n"), std::string::npos)
        << beforeAny.output;
    EXPECT_EQ (namesIn (folder), std::set<std::string> {});

    const auto earlier = runTool (folder, "render {bundle} --seconds 0.1 --set mixWet=100 --out out.wav --state-out saved.state");
    ASSERT_EQ (earlier.exitCode, 0) << earlier.output;
    const auto earlierAudio = contents (folder / "out.wav");
    const auto earlierState = contents (folder / "saved.state");
    ASSERT_EQ (earlierAudio.size(), 38458u);

    const auto failed = runTool (folder, failing, {}, smallFileLimit);
    EXPECT_EQ (failed.exitCode, 1) << failed.output;
    EXPECT_NE (failed.output.find ("pellion-host: error: cannot write out.wav: File too large; the file that was there is kept\n"),
               std::string::npos) << failed.output;
    EXPECT_EQ (failed.output.find ("wrote"), std::string::npos) << failed.output;
    EXPECT_TRUE (contents (folder / "out.wav") == earlierAudio) << "the earlier audio was replaced";
    EXPECT_TRUE (contents (folder / "saved.state") == earlierState) << "the earlier state was replaced";
    EXPECT_EQ (namesIn (folder), (std::set<std::string> { "out.wav", "saved.state" }));

    fs::create_directories (folder / "takes");
    fs::rename (folder / "out.wav", folder / "takes" / "take.wav");
    fs::permissions (folder / "takes" / "take.wav", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink ("takes/take.wav", folder / "out.wav");

    const auto unlimited = runTool (folder, "render {bundle} --seconds 1 --set mixWet=20 --out out.wav --state-out saved.state");
    ASSERT_EQ (unlimited.exitCode, 0) << unlimited.output;
    EXPECT_NE (unlimited.output.find ("wrote state: " + (folder / "saved.state").string() + "\nwrote audio: "
                                      + (folder / "out.wav").string() + "\n"), std::string::npos) << unlimited.output;
    EXPECT_FALSE (contents (folder / "saved.state") == earlierState) << "the state was not replaced";
    EXPECT_TRUE (fs::is_symlink (folder / "out.wav"));
    EXPECT_EQ (fs::file_size (folder / "takes" / "take.wav"), 384058u);
    EXPECT_EQ (fs::status (folder / "takes" / "take.wav").permissions(),
               fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ (namesIn (folder), (std::set<std::string> { "out.wav", "saved.state", "takes" }));
    EXPECT_EQ (namesIn (folder / "takes"), std::set<std::string> { "take.wav" });
}

struct RefusedFile
{
    const char* arguments;
    const char* error;
};

// What cannot be read whole, or is not what it claims, is refused at once with
// the reason, before any work; a device is never replaced by a file.
const RefusedFile refusedFiles[] = {
    { "render {bundle} --in /dev/zero", "cannot read WAV file /dev/zero: it is a device, not a file" },
    { "render {bundle} --in pipe.wav", "cannot read WAV file pipe.wav: it is a pipe, not a file" },
    { "render {bundle} --in huge.wav",
      "cannot read WAV file huge.wav: it holds more than 1073741824 bytes (1 GiB), the most read of a WAV file" },
    { "render {bundle} --in takes", "cannot read WAV file takes: it is a folder" },
    { "render {bundle} --state-in /dev/zero", "cannot read state file /dev/zero: it is a device, not a file" },
    { "automate {bundle} /dev/zero", "cannot read script /dev/zero: it is a device, not a file" },
    { "render {bundle} --state-in magic.state", "magic.state is not a plug-in state: it ends after \"VC2!\", with no length or text" },
    { "render {bundle} --state-in short.state",
      "short.state is not a plug-in state: it ends within the 4-byte length after \"VC2!\", with no text" },
    { "render {bundle} --state-in length.state",
      "length.state is not a plug-in state: it ends after its length field, with no text and no closing zero byte" },
    { "render {bundle} --state-out /dev/null", "cannot write /dev/null: it is not a regular file (a device, a pipe or a socket)" },
};

TEST (HostToolFiles, RefusesAFileItCannotReadWholeAtOnce)
{
    const auto folder = freshFolder ("refused");
    ASSERT_EQ (mkfifo ((folder / "pipe.wav").c_str(), 0600), 0);
    fs::create_directories (folder / "takes");
    std::ofstream (folder / "huge.wav");
    fs::resize_file (folder / "huge.wav", (uintmax_t (1) << 30) + 1); // sparse: takes no room on the disk
    std::ofstream (folder / "magic.state") << "VC2!";
    std::ofstream (folder / "short.state") << "VC2!\x01";
    std::ofstream (folder / "length.state") << "VC2!" << std::string ("\x01\0\0\0", 4);

    for (const auto& file : refusedFiles)
    {
        SCOPED_TRACE (file.arguments);
        // A tool that reads a device or waits for a pipe is ended after two minutes.
        const auto result = runTool (folder, file.arguments, {}, "timeout -s KILL 120");
        EXPECT_EQ (result.exitCode, 1) << "137: it did not end within two minutes";
        EXPECT_EQ (result.output, "pellion-host: error: " + std::string (file.error) + "\n");
    }

    EXPECT_TRUE (fs::is_character_file ("/dev/null"));
}

struct NothingToRender
{
    const char* arguments;
    double sampleRate;
    const char* warning;    // empty when none
};

// No frame to render is rendered cleanly as nothing: an empty file in, an empty
// file out, while the plug-in's latency is rendered and dropped as ever.
const NothingToRender nothingToRender[] = {
    { "render {bundle} --in empty.wav --out out.wav", 48000.0, "warning: empty.wav holds no audio; the output holds none either\n" },
    { "render {bundle} --in one.wav --rate 1000 --out out.wav", 1000.0,
      "warning: one.wav at 8000 Hz is too short to make a frame at 1000 Hz; the output holds none either\n" },
    { "render {bundle} --seconds 0 --out out.wav", 48000.0, "" },
};

TEST (HostToolFiles, RendersNothingCleanlyWhenNoFrameIsLeftToRender)
{
    const auto folder = freshFolder ("nothing");
    std::string error;
    AudioData empty;
    empty.channels.resize (2);
    ASSERT_TRUE (writeWav ((folder / "empty.wav").string(), empty, WavSampleFormat::pcm16, error)) << error;
    AudioData one;
    one.sampleRate = 8000.0;
    one.channels = { { 0.5f } };
    ASSERT_TRUE (writeWav ((folder / "one.wav").string(), one, WavSampleFormat::float32, error)) << error;

    for (const auto& c : nothingToRender)
    {
        SCOPED_TRACE (c.arguments);
        fs::remove (folder / "out.wav");
        const auto result = runTool (folder, c.arguments);
        ASSERT_EQ (result.exitCode, 0) << result.output;
        EXPECT_NE (result.output.find ("rendered 0 frames"), std::string::npos) << result.output;
        if (*c.warning != 0)
            EXPECT_NE (result.output.find (c.warning), std::string::npos) << result.output;
        else
            EXPECT_EQ (result.output.find ("warning"), std::string::npos) << result.output;

        AudioData output;
        ASSERT_TRUE (readWav ((folder / "out.wav").string(), output, error)) << error;
        EXPECT_EQ (output.sampleRate, c.sampleRate);
        EXPECT_EQ (output.numChannels(), 2);
        EXPECT_EQ (output.numFrames(), 0);
    }
}
} // namespace
