#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstddef>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <utility>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{
struct ToolResult
{
    int exitCode = -1;
    std::string output;     // stdout and stderr
};

// Runs pellion-host in `folder` with `arguments`, where "{bundle}" stands for the
// built bundle, after the environment settings in `environment` ("NAME=value" or "-u NAME").
ToolResult runTool (const std::filesystem::path& folder, std::string arguments, const std::string& environment = {})
{
    for (auto at = arguments.find ("{bundle}"); at != std::string::npos; at = arguments.find ("{bundle}"))
        arguments.replace (at, 8, PELLION_BUNDLE_PATH);

    const auto command = "cd '" + folder.string() + "' && env " + environment + " " PELLION_HOST_TOOL " " + arguments + " 2>&1";
    ToolResult result;
    FILE* pipe = popen (command.c_str(), "r");

    if (pipe == nullptr)
        return result;

    char buffer[512];
    while (fgets (buffer, sizeof (buffer), pipe) != nullptr)
        result.output += buffer;

    const int status = pclose (pipe);
    result.exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    return result;
}

struct ToolCase
{
    const char* arguments;
    int exitCode;
    std::vector<std::string> shown;
};

// In the order given: later cases read files earlier ones wrote.
const ToolCase toolCases[] = {
    { "describe {bundle}", 0,
      { "name: Pellion\n", "version: 0.2.0\n", "[4] mixWet \"Dry/wet balance\" range 0 .. 127 default 63",
        "[5] bypass \"Bypass\"", "texts: min \"Off\" default \"On\" max \"On\"", "programs: 1\n  [0] \"Default\" (current)" } },
    { "--help", 0,
      { "--rate HZ          sample rate, 1000 to 1000000", "--block N          frames per block, 1 to 65536",
        "text ID TEXT", "expect ID VALUE", "state-load FILE" } },
    { "render {bundle} --block 65537", 2, { "--block needs a whole number from 1 to 65536, not '65537'", "usage:" } },
    { "render {bundle} --rate 500", 2, { "--rate needs a number from 1000 to 1000000, not '500'" } },
    { "render {bundle} --set mixWet=loud", 1,
      { "error: 'loud' is neither a number nor a text of mixWet, which shows values from '0' to '127'" } },
    { "render {bundle} --set bypass=on", 1, { "'on' is neither a number nor a text of bypass" } },
    { "render {bundle} --seconds 0.1 --set bypass=Off --set mixWet=100 --out out.wav --state-out saved.state", 0,
      { "rendered 4800 frames at 48000 Hz in blocks of 512\n", "  mixWet = 100 (100)\n", "  bypass = 0 (Off)\n",
        "wrote audio: {folder}/out.wav\n", "wrote state: {folder}/saved.state\n" } },
    { "render {bundle} --seconds 0.1 --state-in saved.state", 0, { "  mixWet = 100 (100)\n", "  bypass = 0 (Off)\n" } },
    { "render {bundle} --state-in out.wav", 1, { "error: out.wav is not a plug-in state: it does not start with \"VC2!\"" } },
    { "automate {bundle} good.script", 0,
      { "> text bypass Off\n", "bypass = 0 (Off)\n", "wrote state: {folder}/script.state\n" } },
    { "automate {bundle} bad.script", 1, { "bad.script:2: 'loud' is neither a number nor a text of adcL" } },
    { "screenshot {bundle}", 2, { "screenshot needs a BUNDLE and a FILE.png", "pellion-host screenshot BUNDLE FILE.png" } },
};

TEST (HostTool, RunsItsCommandsAndRefusesWhatItCannotDoWithAClearMessage)
{
    const char* home = std::getenv ("HOME");
    ASSERT_NE (home, nullptr);
    const auto folder = std::filesystem::path (home) / "tool";
    std::filesystem::create_directories (folder);
    std::ofstream (folder / "good.script") << "# comment\n\ntext bypass Off\nget bypass\nexpect bypass Off\n"
                                              "state-save script.state\nstate-load script.state\n";
    std::ofstream (folder / "bad.script") << "set adcL 3\ntext adcL loud\n";

    for (const auto& c : toolCases)
    {
        SCOPED_TRACE (c.arguments);
        const auto result = runTool (folder, c.arguments);
        EXPECT_EQ (result.exitCode, c.exitCode) << result.output;

        for (auto shown : c.shown)
        {
            if (const auto at = shown.find ("{folder}"); at != std::string::npos)
                shown.replace (at, 8, folder.string());

            EXPECT_NE (result.output.find (shown), std::string::npos) << shown << "\nin:\n" << result.output;
        }
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
// opens: $DISPLAY, or ":0" when it is unset, as the framework falls back to it.
// A local display (":N", "unix:N") is asked on its sockets, the abstract one and
// the one in /tmp/.X11-unix; a display on another host is taken as served.
bool xServerAnswers()
{
    const char* set = std::getenv ("DISPLAY");
    const std::string name = set != nullptr && *set != 0 ? set : ":0";
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

    std::ofstream (folder / "shots.script") << "text bypass Off\nscreenshot scripted.png\nrender 4\n";
    EXPECT_EQ (runTool (folder, "automate {bundle} shots.script").exitCode, 0);
    EXPECT_EQ (pngSize (folder / "scripted.png"), std::pair (480u, 540u));
}

TEST (HostTool, LoadsABundleNamedWithoutAFolder)
{
    const std::filesystem::path bundle (PELLION_BUNDLE_PATH);
    const auto result = runTool (bundle.parent_path(), "describe " + bundle.filename().string());
    EXPECT_EQ (result.exitCode, 0) << result.output;
    EXPECT_NE (result.output.find ("name: Pellion\n"), std::string::npos) << result.output;
}
} // namespace
