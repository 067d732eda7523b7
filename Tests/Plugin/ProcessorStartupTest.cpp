#include "Support/SettingsFolder.h"
#include "Utilities/SafeFileReader.h"

#include <atomic>
#include <sys/stat.h>

namespace
{
std::atomic<int> launches { 0 };

// Stands in for the network query: launching only counts.
struct CountingQuery : OnlineUpdater::Query
{
    void launch() override { ++launches; }
};

const std::string xmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string updatesOff = xmlDeclaration + "\n<PROPERTIES>\n  <VALUE name=\"checkForUpdates\" val=\"0\"/>\n</PROPERTIES>\n";
const std::string hostileXml = "<?x\"?>\r\n\r\n<DEVICE blockSize=\"\xea\x20\"/>";

constexpr int updateTimer = VelmoraAudioProcessor::updateCheckTimerId;

struct ProcessorStartupTest : SettingsFolderTest
{
    void SetUp() override
    {
        SettingsFolderTest::SetUp();
        launches = 0;
        OnlineUpdater::setFactory ([] { return std::make_unique<CountingQuery>(); });
    }

    void TearDown() override
    {
        SettingsFolderTest::TearDown();
        OnlineUpdater::setFactory (nullptr);
    }

    static juce::File settingsFile() { return settingsFolder().getChildFile ("settings.xml"); }

    static void writeFile (const juce::String& name, const std::string& text, int minutesAgo = 0)
    {
        const auto file = settingsFolder().getChildFile (name);
        ASSERT_TRUE (settingsFolder().createDirectory());
        ASSERT_TRUE (file.replaceWithData (text.data(), text.size()));
        ASSERT_TRUE (file.setLastModificationTime (juce::Time::getCurrentTime() - juce::RelativeTime::minutes (minutesAgo)));
    }

    // The stored value of a key in a settings file this system wrote.
    static juce::String storedValue (const juce::String& key)
    {
        const auto xml = juce::parseXML (settingsFile());
        if (xml == nullptr || ! xml->hasTagName ("PROPERTIES"))
            return "<unreadable>";

        for (auto* value : xml->getChildWithTagNameIterator ("VALUE"))
            if (value->getStringAttribute ("name") == key)
                return value->getStringAttribute ("val");

        return "<missing>";
    }

    const juce::ValueTree& recentSettings() { return processor->getDeviceManager().getRecentSettings(); }
};
} // namespace

//==============================================================================
TEST_F (ProcessorStartupTest, WithoutSettingsTheUpdateCheckStartsAfterThreeSecondsAndSettingsAreWrittenAtTheEnd)
{
    open();
    EXPECT_TRUE (processor->isTimerRunning (updateTimer));
    EXPECT_EQ (processor->getTimerInterval (updateTimer), 3000);
    EXPECT_EQ (launches, 0);
    EXPECT_FALSE (processor->getOnlineUpdater().hasQuery());

    processor->timerCallback (updateTimer);
    EXPECT_EQ (launches, 1);
    EXPECT_TRUE (processor->getOnlineUpdater().hasQuery());
    EXPECT_FALSE (processor->isTimerRunning (updateTimer));

    // One query per processor, however often the timer fires.
    processor->timerCallback (updateTimer);
    EXPECT_EQ (launches, 1);

    EXPECT_FALSE (settingsFile().existsAsFile());
    processor.reset();
    EXPECT_NE (storedValue ("checkForUpdates"), "<unreadable>");
}

TEST_F (ProcessorStartupTest, UpdateChecksSwitchedOffStayOff)
{
    writeFile ("settings.xml", updatesOff);
    open();
    EXPECT_FALSE (processor->isTimerRunning (updateTimer));
    EXPECT_FALSE (settingsFolder().getChildFile ("settings.xml.unreadable").exists());

    processor.reset();
    EXPECT_EQ (launches, 0);
    EXPECT_EQ (storedValue ("checkForUpdates"), "0");
}

TEST_F (ProcessorStartupTest, AnUnreadableOrOversizedSettingsFileIsMovedAsideIntact)
{
    std::string oversized = xmlDeclaration + "<PROPERTIES>\n";
    while (oversized.size() <= (1u << 20))
        oversized += "<!-- padding padding padding padding padding padding padding -->\n";
    oversized += "<VALUE name=\"checkForUpdates\" val=\"0\"/>\n</PROPERTIES>\n";

    const std::string contents[] = {
        std::string ("\x00\xff\x13<PROPERTIES\x01\x80garbage", 24),
        hostileXml + "<!DOCTYPE d [<!ENTITY a \"&a;&a;&a;\">]><d>&a;</d>",
        xmlDeclaration + "<PROPERTIES>\n  <VALUE name=\"checkForUpdates\" val=\"0\"/>\n",
        oversized,
    };

    for (const auto& text : contents)
    {
        SCOPED_TRACE (text.size());
        settingsFolder().deleteRecursively();
        writeFile ("settings.xml", text);

        open();
        const auto aside = settingsFolder().getChildFile ("settings.xml.unreadable");
        ASSERT_TRUE (aside.existsAsFile());
        juce::MemoryBlock kept;
        ASSERT_TRUE (aside.loadFileAsData (kept));
        EXPECT_TRUE (kept == juce::MemoryBlock (text.data(), text.size()));

        // Starts as without settings.
        EXPECT_EQ (processor->getNumPrograms(), 1);
        EXPECT_TRUE (processor->isTimerRunning (updateTimer));
        EXPECT_FALSE (processor->isPresetModified());

        processor.reset();
        EXPECT_NE (storedValue ("checkForUpdates"), "<unreadable>");
        EXPECT_TRUE (aside.existsAsFile());
    }
}

//==============================================================================
TEST_F (ProcessorStartupTest, TheNewestDeviceSettingsBecomeTheRecentSettings)
{
    writeFile ("QZR-1A2B-settings.xml", xmlDeclaration + "<DEVICE blockSize=\"128\"/>\n", 60);
    writeFile ("QZR-3C4D-settings.xml", xmlDeclaration + "<DEVICE blockSize=\"256\"/>\n", 1);
    open();
    EXPECT_TRUE (recentSettings().hasType ("DEVICE"));
    EXPECT_EQ (recentSettings()["blockSize"].toString(), "256");
    processor.reset();

    // Not the order of names: make the other one newer.
    ASSERT_TRUE (settingsFolder().getChildFile ("QZR-1A2B-settings.xml")
                     .setLastModificationTime (juce::Time::getCurrentTime()));
    open();
    EXPECT_EQ (recentSettings()["blockSize"].toString(), "128");
}

TEST_F (ProcessorStartupTest, AHostileNewestOrNoDeviceSettingsFileGivesEmptyRecentSettings)
{
    for (bool hostile : { true, false })
    {
        SCOPED_TRACE (hostile ? "hostile newest" : "no device settings");
        settingsFolder().deleteRecursively();
        writeFile (hostile ? "QZR-1A2B-settings.xml" : "QZR-1A2B-other.xml",
                   xmlDeclaration + "<DEVICE blockSize=\"128\"/>\n", 60);
        if (hostile)
            writeFile ("QZR-3C4D-settings.xml", hostileXml, 1);

        open();
        EXPECT_TRUE (recentSettings().hasType ("DEVICE"));
        EXPECT_EQ (recentSettings().getNumProperties(), 0);
        EXPECT_EQ (recentSettings().getNumChildren(), 0);
        processor.reset();
    }
}

//==============================================================================
TEST_F (ProcessorStartupTest, TheReconnectTimerDoesNothingWithoutAPendingPedal)
{
    open();
    EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
    const auto adcLink = value ("adcLink");

    processor->timerCallback (VelmoraAudioProcessor::reconnectTimerId);
    EXPECT_EQ (processor->getDevice(), nullptr);
    EXPECT_EQ (processor->getUsbClient(), nullptr);
    EXPECT_EQ (processor->getChannelSetting(), -1);
    EXPECT_EQ (value ("adcLink"), adcLink);
    EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));
    EXPECT_FALSE (processor->isPresetModified());
}

TEST_F (ProcessorStartupTest, NamedPipesInItsFoldersNeverBlockTheStart)
{
    // Opening a pipe for reading waits for a writer that never comes.
    settingsFolder().getChildFile ("User").createDirectory();
    for (auto name : { "settings.xml", "QZR-0001-settings.xml", "User/Piped.zvk" })
        ASSERT_EQ (mkfifo (settingsFolder().getChildFile (name).getFullPathName().toRawUTF8(), 0600), 0) << name;

    open();

    EXPECT_EQ (processor->getNumPrograms(), 1);
    EXPECT_EQ (processor->getDeviceManager().getRecentSettings().getNumProperties(), 0);
    EXPECT_TRUE (settingsFolder().getChildFile ("settings.xml.unreadable").exists());
}

TEST (SafeFileReader, ReadsOnlyRegularFilesWithinTheLimit)
{
    const auto folder = juce::File ("/tmp").getChildFile ("PellionSafeFileReader-" + juce::Uuid().toString());
    ASSERT_TRUE (folder.createDirectory());

    const auto file = folder.getChildFile ("small");
    ASSERT_TRUE (file.replaceWithText ("12345"));
    juce::MemoryBlock block;
    EXPECT_TRUE (SafeFileReader::read (file, block, 5));
    EXPECT_EQ (block.toString(), "12345");
    EXPECT_FALSE (SafeFileReader::read (file, block, 4));
    EXPECT_EQ (block.getSize(), 0u);

    EXPECT_FALSE (SafeFileReader::read (folder, block, 100));
    EXPECT_FALSE (SafeFileReader::read (folder.getChildFile ("missing"), block, 100));

    const auto pipe = folder.getChildFile ("pipe");
    ASSERT_EQ (mkfifo (pipe.getFullPathName().toRawUTF8(), 0600), 0);
    EXPECT_FALSE (SafeFileReader::read (pipe, block, 100));

    folder.deleteRecursively();
}
