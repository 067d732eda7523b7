#include "Support/AssertionCounter.h"
#include "Support/LoopbackHttpServer.h"
#include "Support/SettingsFolder.h"
#include "Support/Waiting.h"
#include "Utilities/InputLimits.h"
#include "Utilities/StrictXmlReader.h"

#include <filesystem>
#include <sys/stat.h>

namespace
{
const std::string xmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string updatesOff = xmlDeclaration + "\n<PROPERTIES>\n  <VALUE name=\"checkForUpdates\" val=\"0\"/>\n</PROPERTIES>\n";
const std::string hostileXml = "<?x\"?>\r\n\r\n<DEVICE blockSize=\"\xea\x20\"/>";

// The framework's reader takes this and would switch update checks off; ours refuses text content.
const std::string updatesOffWithText = xmlDeclaration + "<PROPERTIES>text<VALUE name=\"checkForUpdates\" val=\"0\"/></PROPERTIES>\n";

constexpr int updateTimer = VelmoraAudioProcessor::updateCheckTimerId;

// The update server is one on this computer that answers with a newer plug-in.
struct ProcessorStartupTest : SettingsFolderTest
{
    void SetUp() override
    {
        SettingsFolderTest::SetUp();
        server.serve ("/QZR/latest.json", LoopbackHttpServer::text (R"({"pluginVersion":"0.3.0"})"));
        VersionQueryController::setVersionFileAddress (server.url ("/QZR/latest.json"));
    }

    void TearDown() override
    {
        SettingsFolderTest::TearDown();
        VersionQueryController::setVersionFileAddress (juce::URL ("http://127.0.0.1:1/QZR/latest.json"));
    }

    size_t launches() const { return server.getRequests().size(); }

    static juce::File settingsFile() { return settingsFolder().getChildFile ("settings.xml"); }
    static juce::File keptCopy (int number) { return PluginSettings::keptCopy (settingsFile(), number); }

    static void writeFile (const std::string& name, const std::string& bytes, int minutesAgo = 0)
    {
        ScratchFolder::write (settingsFolder(), name, bytes);

        // Names that are not UTF-8 must not become Strings: they keep the time they were written.
        if (juce::CharPointer_UTF8::isValidString (name.data(), (int) name.size()))
        {
            const auto file = settingsFolder().getChildFile (juce::String::fromUTF8 (name.data(), (int) name.size()));
            ASSERT_TRUE (file.setLastModificationTime (juce::Time::getCurrentTime() - juce::RelativeTime::minutes (minutesAgo)));
        }
    }

    static std::string bytesOf (const juce::File& file)
    {
        juce::MemoryBlock block;
        if (! file.existsAsFile() || ! file.loadFileAsData (block))
            return "<none>";
        return { static_cast<const char*> (block.getData()), block.getSize() };
    }

    static bool isPipe (const juce::File& file) { return std::filesystem::is_fifo (file.getFullPathName().toStdString()); }

    // The stored value of a key in a settings file this system wrote.
    static juce::String storedValue (const juce::String& key)
    {
        const auto bytes = bytesOf (settingsFile());
        const auto xml = StrictXmlReader::parse (bytes.data(), bytes.size());
        if (xml == nullptr || ! xml->hasTagName ("PROPERTIES"))
            return "<unreadable>";

        for (auto* value : xml->getChildWithTagNameIterator ("VALUE"))
            if (value->getStringAttribute ("name") == key)
                return value->getStringAttribute ("val");

        return "<missing>";
    }

    const juce::ValueTree& recentSettings() { return processor->getDeviceManager().getRecentSettings(); }

    LoopbackHttpServer server;
};
} // namespace

//==============================================================================
TEST_F (ProcessorStartupTest, WithoutSettingsTheUpdateCheckStartsAfterThreeSecondsAndSettingsAreWrittenAtTheEnd)
{
    open();
    EXPECT_TRUE (processor->isTimerRunning (updateTimer));
    EXPECT_EQ (processor->getTimerInterval (updateTimer), 3000);
    EXPECT_FALSE (processor->getOnlineUpdater().hasQuery());
    EXPECT_EQ (processor->getOnlineUpdater().getResult (VersionNumber()).status, VersionQuery::queryUpToDate);

    // The real check: the version file is fetched and the editor can read the answer.
    processor->timerCallback (updateTimer);
    ASSERT_TRUE (processor->getOnlineUpdater().hasQuery());
    EXPECT_FALSE (processor->isTimerRunning (updateTimer));
    ASSERT_TRUE (server.waitForRequests (1));
    ASSERT_TRUE (processor->getOnlineUpdater().getQuery()->waitForThreadToExit ((int) patience.count())) << "the version query ends";
    EXPECT_EQ (server.getRequests()[0].line, "GET /QZR/latest.json HTTP/1.1");

    const auto answer = processor->getOnlineUpdater().getResult (VersionNumber());
    EXPECT_EQ (answer.status, VersionQuery::queryPluginAvailable);
    EXPECT_EQ ((juce::uint32) answer.version, 0x000300u);

    // One query per processor, however often the timer fires.
    processor->timerCallback (updateTimer);
    EXPECT_EQ (launches(), 1u);

    // No pedal is pending: the reconnect timer finds nothing to attach.
    processor->timerCallback (VelmoraAudioProcessor::reconnectTimerId);
    EXPECT_EQ (processor->getDevice(), nullptr);
    EXPECT_FALSE (processor->isTimerRunning (VelmoraAudioProcessor::reconnectTimerId));

    EXPECT_FALSE (settingsFile().existsAsFile());
    processor.reset();
    EXPECT_NE (storedValue ("checkForUpdates"), "<unreadable>");
}

// Hosts open and close instances by the hundred when they scan.
TEST_F (ProcessorStartupTest, UpdateChecksSwitchedOffStayOffAndAnUnchangedFileIsNotRewritten)
{
    ASSERT_NO_FATAL_FAILURE (writeFile ("settings.xml", updatesOff, 60));
    const auto written = settingsFile().getLastModificationTime();

    open();
    EXPECT_FALSE (processor->isTimerRunning (updateTimer));
    EXPECT_FALSE (keptCopy (1).exists());
    processor.reset();

    EXPECT_EQ (launches(), 0u);
    EXPECT_EQ (bytesOf (settingsFile()), updatesOff);
    EXPECT_EQ (settingsFile().getLastModificationTime(), written);

    // The editor's toggle is saved with the instance.
    open();
    processor->getSettings()->setValue ("checkForUpdates", true);
    processor.reset();
    EXPECT_EQ (storedValue ("checkForUpdates"), "1");

    // Tags in another case read as the framework reads its properties files, and reach none of its assertions.
    const AssertionCounter assertions;
    ASSERT_NO_FATAL_FAILURE (writeFile ("settings.xml", xmlDeclaration + "<properties><Value name=\"checkForUpdates\" val=\"0\"/></properties>"));
    open();
    EXPECT_FALSE (processor->isTimerRunning (updateTimer));
    processor.reset();
    EXPECT_EQ (assertions.count, 0);
}

// The framework's XML reader recurses once per element and over-reads on
// crafted text: a stored value must reach no XML reader when it is saved again.
TEST_F (ProcessorStartupTest, StoredValuesThatLookLikeXmlAreKeptAsText)
{
    std::string deep;
    for (int i = 0; i < 30000; ++i)
        deep += "&lt;a&gt;";

    writeFile ("settings.xml", xmlDeclaration + "<PROPERTIES><VALUE name=\"checkForUpdates\" val=\"0\"/>"
                                   "<VALUE name=\"deep\" val=\"" + deep + "\"/>"
                                   "<VALUE name=\"element\" val=\"&lt;b c=&quot;1&quot;/&gt;\"/></PROPERTIES>");
    open();
    processor->getSettings()->setValue ("checkForUpdates", true);
    processor.reset();

    open();
    EXPECT_TRUE (processor->isTimerRunning (updateTimer));
    EXPECT_EQ (processor->getSettings()->getValue ("element"), "<b c=\"1\"/>");
    EXPECT_EQ (processor->getSettings()->getValue ("deep").length(), 90000);
    processor.reset();
    EXPECT_EQ (storedValue ("element"), "<b c=\"1\"/>");
}

// Each refused file is kept, the earlier copies too, and the instance starts as without settings.
TEST_F (ProcessorStartupTest, UnreadableSettingsFilesAreEachKeptAside)
{
    std::string oversized = xmlDeclaration + "<PROPERTIES>\n";
    while (oversized.size() <= (1u << 20))
        oversized += "<!-- padding padding padding padding padding padding padding -->\n";
    oversized += "<VALUE name=\"checkForUpdates\" val=\"0\"/>\n</PROPERTIES>\n";

    const std::string contents[] = {
        std::string ("\x00\xff\x13<PROPERTIES\x01\x80garbage", 24),
        hostileXml + "<!DOCTYPE d [<!ENTITY a \"&a;&a;&a;\">]><d>&a;</d>",
        xmlDeclaration + "<PROPERTIES>\n  <VALUE name=\"checkForUpdates\" val=\"0\"/>\n",
        updatesOffWithText,
        xmlDeclaration + "<DEVICE checkForUpdates=\"0\"/>",
        oversized,
    };

    for (int i = 0; i < (int) std::size (contents); ++i)
    {
        SCOPED_TRACE (i);
        ASSERT_NO_FATAL_FAILURE (writeFile ("settings.xml", contents[i]));

        open();
        EXPECT_EQ (processor->getNumPrograms(), 1);
        EXPECT_TRUE (processor->isTimerRunning (updateTimer));
        EXPECT_FALSE (processor->isPresetModified());
        processor.reset();

        EXPECT_NE (storedValue ("checkForUpdates"), "<unreadable>");
        for (int kept = 0; kept <= i; ++kept)
            EXPECT_EQ (bytesOf (keptCopy (kept + 1)), contents[kept]) << kept;
    }
}

// Nowhere to keep it (here every name for a copy is taken by a folder): the file is neither read nor replaced.
TEST_F (ProcessorStartupTest, ARefusedFileThatCannotBeMovedAsideIsNeverRead)
{
    for (int number = 1; number <= 10; ++number)
        ScratchFolder::write (settingsFolder(), keptCopy (number).getFileName().toStdString() + "/inside", "x");

    for (const bool pipe : { false, true })
    {
        SCOPED_TRACE (pipe ? "a named pipe" : "a file the framework would read");
        if (pipe)
        {
            ASSERT_TRUE (settingsFile().deleteFile());
            ASSERT_EQ (mkfifo (settingsFile().getFullPathName().toRawUTF8(), 0600), 0);
        }
        else
        {
            ASSERT_NO_FATAL_FAILURE (writeFile ("settings.xml", updatesOffWithText));
        }

        open();
        EXPECT_TRUE (processor->isTimerRunning (updateTimer));
        processor->getSettings()->setValue ("checkForUpdates", false);
        processor.reset();

        if (pipe)
            EXPECT_TRUE (isPipe (settingsFile()));
        else
            EXPECT_EQ (bytesOf (settingsFile()), updatesOffWithText);
        EXPECT_TRUE (keptCopy (1).isDirectory());
    }
}

//==============================================================================
// Device settings files are found by name and read only when their names are text and their contents
// are readable; the newest of them gives the recent settings, or none gives an empty tree.
TEST_F (ProcessorStartupTest, TheNewestReadableDeviceSettingsBecomeTheRecentSettings)
{
    const std::string blockSize128 = xmlDeclaration + "<DEVICE blockSize=\"128\"/>\n";
    const std::string blockSize256 = xmlDeclaration + "<DEVICE blockSize=\"256\"/>\n";

    const struct
    {
        const char* what;
        std::vector<std::pair<std::string, std::string>> newestLast;
        const char* blockSize;
    } cases[] = {
        { "the newer of two", { { "QZR-3C4D-settings.xml", blockSize128 }, { "QZR-1A2B-settings.xml", blockSize256 } }, "256" },
        { "not the first name", { { "QZR-1A2B-settings.xml", blockSize256 }, { "QZR-3C4D-settings.xml", blockSize128 } }, "128" },
        { "a hostile newest file", { { "QZR-1A2B-settings.xml", blockSize128 }, { "QZR-3C4D-settings.xml", hostileXml } }, nullptr },
        { "a newest file tagged in another case", { { "QZR-1A2B-settings.xml", blockSize128 },
                                                    { "QZR-3C4D-settings.xml", xmlDeclaration + "<device blockSize=\"256\"/>" } }, nullptr },
        { "no matching name", { { "QZR-1A2B-other.xml", blockSize128 }, { "settings-QZR-1A2B.xml", blockSize128 } }, nullptr },
        { "a newest name that is not UTF-8", { { "QZR-1A2B-settings.xml", blockSize128 }, { "QZR-\xe0-settings.xml", blockSize256 } }, "128" },
    };

    const AssertionCounter assertions;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ScratchFolder::remove (settingsFolder());
        int minutesAgo = 60;
        for (const auto& [name, text] : c.newestLast)
            ASSERT_NO_FATAL_FAILURE (writeFile (name, text, minutesAgo -= 10));

        open();
        EXPECT_TRUE (recentSettings().hasType ("DEVICE"));
        EXPECT_EQ (recentSettings().getNumChildren(), 0);
        if (c.blockSize != nullptr)
            EXPECT_EQ (recentSettings()["blockSize"].toString(), c.blockSize);
        else
            EXPECT_EQ (recentSettings().getNumProperties(), 0);
        processor.reset();
    }

    EXPECT_EQ (assertions.count, 0);
}

//==============================================================================
// The framework finds the application-data folder through this list of the
// user's folders; it is read only when it is a regular file of UTF-8 text.
TEST_F (ProcessorStartupTest, TheUsersFolderListIsFollowedOnlyWhenSafeToRead)
{
    const auto home = juce::File (juce::String (std::getenv ("HOME")));
    const auto folderList = home.getChildFile (".config/user-dirs.dirs");
    const auto elsewhere = home.getChildFile ("Elsewhere");
    ASSERT_TRUE (elsewhere.createDirectory());

    const struct { const char* what; std::string list; juce::File expected; } cases[] = {
        { "a folder named in the list", "XDG_CONFIG_HOME=\"$HOME/Elsewhere\"\n", elsewhere },
        { "a named pipe", {}, home.getChildFile (".config") },
        { "a list that is not UTF-8", "XDG_CONFIG_HOME=\"$HOME/Elsewhere\"\n# M\xfasica\n", home.getChildFile (".config") },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        if (c.list.empty())
            ASSERT_EQ (mkfifo (folderList.getFullPathName().toRawUTF8(), 0600), 0);
        else
            ScratchFolder::write (folderList.getParentDirectory(), folderList.getFileName().toStdString(), c.list);

        open();
        processor.reset();
        const auto written = c.expected.getChildFile ("Audio/Presets/Kelvane-Sonic/Pellion/settings.xml");
        EXPECT_TRUE (written.existsAsFile());

        ScratchFolder::remove (written.getParentDirectory());
        ASSERT_TRUE (folderList.deleteFile());
    }

    ScratchFolder::remove (elsewhere);
}

// A version file that trickles in, 300 bytes every half second: too slowly to
// end before the fetch's deadline, seconds away, never slowly enough for the
// transfer's time-out. Only the exit request of the query ends it before then,
// which the processor's deletion raises:
// the thread ends by itself (none is killed, which the framework would report
// as an assertion) and the server sees the client hang up.
TEST_F (ProcessorStartupTest, AHostClosingThePluginNeverWaitsForTheUpdateServer)
{
    server.serve ("/QZR/latest.json", LoopbackHttpServer::trickle (InputLimits::versionFileBytes - 1, 300, 500));

    open();
    processor->timerCallback (updateTimer);
    ASSERT_TRUE (server.waitForRequests (1));

    const AssertionCounter assertions;
    processor.reset();
    EXPECT_EQ (assertions.count, 0) << "no thread was killed";
    EXPECT_TRUE (server.waitForHangUps (1));
}
