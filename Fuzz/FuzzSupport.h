#pragma once

#include <juce_events/juce_events.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// Whatever a fuzzed processor stores goes to a scratch home, never the user's;
// its update check stays off there, so no fuzzing run reaches beyond this computer.
inline void useScratchHome()
{
    std::string home = "/tmp/pellion-fuzz-home-XXXXXX";
    if (mkdtemp (home.data()) == nullptr)
        return;

    setenv ("HOME", home.c_str(), 1);
    const auto folder = std::filesystem::path (home) / ".config/Audio/Presets/Kelvane-Sonic/Pellion";
    std::error_code ignored;
    std::filesystem::create_directories (folder, ignored);
    std::ofstream (folder / "settings.xml") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                               "<PROPERTIES>\n  <VALUE name=\"checkForUpdates\" val=\"0\"/>\n</PROPERTIES>\n";
}

// A framework assertion ends the run as a crash does: each one is a rule of
// the framework that no outside input may be able to break. Cheap to call for
// every input; installed once.
inline void failOnFrameworkAssertions()
{
    struct Trap : juce::Logger
    {
        void logMessage (const juce::String& message) override
        {
            if (! message.startsWith ("JUCE Assertion failure"))
                return;

            std::fprintf (stderr, "%s\n", message.toRawUTF8());
            __builtin_trap();
        }
    };

    // Disarmed at exit (before the trap goes), where the framework reports the
    // singletons that a run which never shuts it down leaves behind.
    static Trap trap;
    static const bool installed = []
    {
        juce::Logger::setCurrentLogger (&trap);
        std::atexit ([] { juce::Logger::setCurrentLogger (nullptr); });
        return true;
    }();
    juce::ignoreUnused (installed);
}

// The framework's message manager, created once for the whole fuzzing run and
// never torn down: exit-time destruction order between statics is not ours to fix.
inline void initialiseFramework()
{
    static auto* framework = []
    {
        useScratchHome();
        return new juce::ScopedJuceInitialiser_GUI();
    }();
    juce::ignoreUnused (framework);
}

// A folder of the run's own for the files a target writes, in memory where the
// system has such a folder (saving syncs, which a disk makes slow); removed at exit.
inline juce::File scratchFolder()
{
    // Never freed, so that it outlives the exit handler that removes the folder.
    static std::string* path = nullptr;

    if (path == nullptr)
    {
        path = new std::string ((std::filesystem::is_directory ("/dev/shm") ? "/dev/shm" : "/tmp") + std::string ("/pellion-fuzz-XXXXXX"));
        if (mkdtemp (path->data()) == nullptr)
            std::abort();

        std::atexit ([] { std::error_code ignored; std::filesystem::remove_all (*path, ignored); });
    }

    return juce::File (*path);
}
