#include "Support/PluginFixture.h"

#include <atomic>

namespace
{
juce::File settingsFolder()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Audio/Presets/Kelvane-Sonic/Pellion");
}

std::atomic<int> launches { 0 };

// Stands in for the network query: launching only counts.
struct CountingQuery : OnlineUpdater::Query
{
    void launch() override { ++launches; }
};

const char* const updatesOff = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<PROPERTIES>\n"
                               "  <VALUE name=\"checkForUpdates\" val=\"0\"/>\n</PROPERTIES>\n";

struct ProcessorStartupTest : ::testing::Test
{
    void SetUp() override
    {
        settingsFolder().deleteRecursively();
        launches = 0;
        OnlineUpdater::setFactory ([] { return std::make_unique<CountingQuery>(); });
    }

    void TearDown() override
    {
        processor.reset();
        OnlineUpdater::setFactory (nullptr);
        settingsFolder().deleteRecursively();
    }

    static juce::File settingsFile() { return settingsFolder().getChildFile ("settings.xml"); }

    static void writeFile (const juce::String& name, const void* data, size_t size)
    {
        ASSERT_TRUE (settingsFolder().createDirectory());
        ASSERT_TRUE (settingsFolder().getChildFile (name).replaceWithData (data, size));
    }

    static void writeFile (const juce::String& name, const std::string& text)
    {
        writeFile (name, text.data(), text.size());
    }

    static void writeDeviceSettings (const juce::String& name, const std::string& text, int minutesAgo)
    {
        writeFile (name, text);
        const auto time = juce::Time::getCurrentTime() - juce::RelativeTime::minutes (minutesAgo);
        ASSERT_TRUE (settingsFolder().getChildFile (name).setLastModificationTime (time));
    }

    // The stored value of a key in a settings file this system wrote.
    static juce::String storedValue (const juce::String& key)
    {
        const auto xml = juce::parseXML (settingsFile());
        if (xml == nullptr)
            return "<unreadable>";

        for (auto* value : xml->getChildWithTagNameIterator ("VALUE"))
            if (value->getStringAttribute ("name") == key)
                return value->getStringAttribute ("val");

        return "<missing>";
    }

    void open() { processor = makeProcessor(); }

    std::unique_ptr<VelmoraAudioProcessor> processor;
};
} // namespace

//==============================================================================
TEST_F (ProcessorStartupTest, WithoutSettingsTheUpdateCheckStartsAfterThreeSeconds)
{
    open();
    EXPECT_TRUE (processor->isTimerRunning (VelmoraAudioProcessor::updateCheckTimerId));
    EXPECT_EQ (processor->getTimerInterval (VelmoraAudioProcessor::updateCheckTimerId), 3000);
    EXPECT_EQ (launches, 0);
    EXPECT_FALSE (processor->getOnlineUpdater().hasQuery());

    processor->timerCallback (VelmoraAudioProcessor::updateCheckTimerId);
    EXPECT_EQ (launches, 1);
    EXPECT_TRUE (processor->getOnlineUpdater().hasQuery());
    EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::updateCheckTimerId));

    // One query per processor, however often the timer fires.
    processor->timerCallback (VelmoraAudioProcessor::updateCheckTimerId);
    EXPECT_EQ (launches, 1);
}

TEST_F (ProcessorStartupTest, UpdateChecksSwitchedOffStayOff)
{
    writeFile ("settings.xml", std::string (updatesOff));
    open();
    EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::updateCheckTimerId));
    EXPECT_FALSE (settingsFolder().getChildFile ("settings.xml.unreadable").exists());

    processor.reset();
    EXPECT_EQ (launches, 0);
    EXPECT_EQ (storedValue ("checkForUpdates"), "0");
}

TEST_F (ProcessorStartupTest, SettingsAreWrittenWhenTheProcessorGoes)
{
    open();
    EXPECT_FALSE (settingsFile().existsAsFile());
    processor.reset();

    ASSERT_TRUE (settingsFile().existsAsFile());
    const auto xml = juce::parseXML (settingsFile());
    ASSERT_NE (xml, nullptr);
    EXPECT_TRUE (xml->hasTagName ("PROPERTIES"));
}

TEST_F (ProcessorStartupTest, AnUnreadableSettingsFileIsMovedAsideIntact)
{
    const std::string garbage ("\x00\xff\x13<PROPERTIES\x01\x80garbage", 24);
    const std::string entities = "<?x\"?>\r\n\r\n<DEVICE blockSize=\"\xea\x20\"/>"
                                 "<!DOCTYPE d [<!ENTITY a \"&a;&a;&a;\">]><d>&a;</d>";
    const std::string unclosed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>\n"
                                 "  <VALUE name=\"checkForUpdates\" val=\"0\"/>\n";

    for (const auto& contents : { garbage, entities, unclosed })
    {
        SCOPED_TRACE (contents.size());
        settingsFolder().deleteRecursively();
        writeFile ("settings.xml", contents);

        open();
        const auto aside = settingsFolder().getChildFile ("settings.xml.unreadable");
        ASSERT_TRUE (aside.existsAsFile());
        juce::MemoryBlock kept;
        ASSERT_TRUE (aside.loadFileAsData (kept));
        EXPECT_EQ (kept, juce::MemoryBlock (contents.data(), contents.size()));

        // Starts as without settings.
        EXPECT_EQ (processor->getNumPrograms(), 1);
        EXPECT_TRUE (processor->isTimerRunning (VelmoraAudioProcessor::updateCheckTimerId));
        EXPECT_FALSE (processor->isPresetModified());

        processor.reset();
        const auto xml = juce::parseXML (settingsFile());
        ASSERT_NE (xml, nullptr);
        EXPECT_TRUE (xml->hasTagName ("PROPERTIES"));
        EXPECT_TRUE (aside.existsAsFile());
    }
}

TEST_F (ProcessorStartupTest, AnOversizedSettingsFileIsMovedAside)
{
    std::string big = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>\n";
    while (big.size() <= (1u << 20))
        big += "<!-- padding padding padding padding padding padding padding -->\n";
    big += "<VALUE name=\"checkForUpdates\" val=\"0\"/>\n</PROPERTIES>\n";
    writeFile ("settings.xml", big);

    open();
    EXPECT_TRUE (settingsFolder().getChildFile ("settings.xml.unreadable").existsAsFile());
    EXPECT_TRUE (processor->isTimerRunning (VelmoraAudioProcessor::updateCheckTimerId));
}

//==============================================================================
TEST_F (ProcessorStartupTest, TheNewestDeviceSettingsBecomeTheRecentSettings)
{
    writeDeviceSettings ("QZR-1A2B-settings.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DEVICE blockSize=\"128\"/>\n", 60);
    writeDeviceSettings ("QZR-3C4D-settings.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DEVICE blockSize=\"256\"/>\n", 1);
    open();

    auto& recent = processor->getDeviceManager().getRecentSettings();
    EXPECT_TRUE (recent.hasType ("DEVICE"));
    EXPECT_EQ (recent["blockSize"].toString(), "256");
    processor.reset();

    // Not the order of names: make the other one newer.
    ASSERT_TRUE (settingsFolder().getChildFile ("QZR-1A2B-settings.xml")
                     .setLastModificationTime (juce::Time::getCurrentTime()));
    open();
    EXPECT_EQ (processor->getDeviceManager().getRecentSettings()["blockSize"].toString(), "128");
}

TEST_F (ProcessorStartupTest, AHostileNewestDeviceSettingsFileGivesEmptyRecentSettings)
{
    writeDeviceSettings ("QZR-1A2B-settings.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DEVICE blockSize=\"128\"/>\n", 60);
    writeDeviceSettings ("QZR-3C4D-settings.xml", "<?x\"?>\r\n\r\n<DEVICE blockSize=\"\xea\x20\"/>", 1);
    open();

    auto& recent = processor->getDeviceManager().getRecentSettings();
    EXPECT_TRUE (recent.hasType ("DEVICE"));
    EXPECT_EQ (recent.getNumProperties(), 0);
    EXPECT_EQ (recent.getNumChildren(), 0);
}

TEST_F (ProcessorStartupTest, WithoutDeviceSettingsTheRecentSettingsAreEmpty)
{
    writeDeviceSettings ("QZR-1A2B-other.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DEVICE blockSize=\"128\"/>\n", 1);
    open();

    auto& recent = processor->getDeviceManager().getRecentSettings();
    EXPECT_TRUE (recent.hasType ("DEVICE"));
    EXPECT_EQ (recent.getNumProperties(), 0);
}

//==============================================================================
TEST_F (ProcessorStartupTest, TheReconnectTimerDoesNothingWithoutAPendingPedal)
{
    open();
    EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
    const auto adcLink = processor->getValueTreeState().getParameter ("adcLink")->get();

    processor->timerCallback (VelmoraAudioProcessor::reconnectTimerId);
    EXPECT_EQ (processor->getDevice(), nullptr);
    EXPECT_EQ (processor->getUsbClient(), nullptr);
    EXPECT_EQ (processor->getChannelSetting(), -1);
    EXPECT_EQ (processor->getValueTreeState().getParameter ("adcLink")->get(), adcLink);
    EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
    EXPECT_FALSE (processor->isPresetModified());
}
