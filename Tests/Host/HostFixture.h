#pragma once

#include "PluginBundle.h"
#include "PluginInstance.h"
#include "Support/Waiting.h"

#include <gtest/gtest.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

// Loads the built bundle once per test program, as a host loads a plug-in.
inline PluginBundle& sharedBundle()
{
    static PluginBundle bundle (PELLION_BUNDLE_PATH);
    return bundle;
}

struct HostTest : ::testing::Test
{
    void SetUp() override
    {
        keepUpdateChecksOff();
        ASSERT_TRUE (sharedBundle().isLoaded()) << sharedBundle().error();
        plugin = open();
        ASSERT_NE (plugin, nullptr);
    }

    // An instance left idling for three seconds would ask the update server:
    // no host test may reach beyond this computer.
    static void keepUpdateChecksOff()
    {
        const char* home = std::getenv ("HOME");
        const auto folder = std::filesystem::path (home != nullptr ? home : "") / ".config/Audio/Presets/Kelvane-Sonic/Pellion";
        std::filesystem::create_directories (folder);
        std::ofstream (folder / "settings.xml") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                   "<PROPERTIES>\n  <VALUE name=\"checkForUpdates\" val=\"0\"/>\n</PROPERTIES>\n";
    }

    static std::unique_ptr<PluginInstance> open()
    {
        std::string error;
        auto instance = PluginInstance::create (sharedBundle(), error);
        EXPECT_NE (instance, nullptr) << error;
        return instance;
    }

    int32_t index (const std::string& id) const
    {
        auto found = plugin->findParameter (id);
        EXPECT_TRUE (found.has_value()) << id;
        return found.value_or (-1);
    }

    // Runs the plug-in's message loop, as a host's main loop would, until the
    // condition holds; for ASSERT_TRUE.
    ::testing::AssertionResult idleUntil (const std::string& what, const std::function<bool()>& condition)
    {
        return waitUntil (what, condition, patience, [this]
        {
            plugin->idle();
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        });
    }

    bool sawEvent (int32_t kind, int32_t parameter, float value)
    {
        for (auto& e : plugin->events())
            if (e.kind == kind && e.index == parameter && e.value == value)
                return true;
        return false;
    }

    // Runs `call` on a host thread of its own and waits for it. A plug-in
    // error there fails the test instead of ending the program.
    static void onHostThread (const std::function<void()>& call)
    {
        std::thread ([&]
        {
            try
            {
                call();
            }
            catch (const std::exception& e)
            {
                ADD_FAILURE() << e.what();
            }
        }).join();
    }

    std::unique_ptr<PluginInstance> plugin;
};
