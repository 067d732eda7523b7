#include "Devices/UsbDeviceManager.h"
#include "EmulatedPedal.h"
#include "Utilities/Identifiers.h"
#include "Utilities/StrictXmlReader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
using PedalManager = UsbBaseDeviceManager<UsbDevice>;
using BootManager = UsbBaseDeviceManager<UsbBootDevice>;
using Events = std::vector<std::string>;

template <typename Device>
struct EventLog final : UsbBaseDeviceManager<Device>::Listener
{
    explicit EventLog (Events& eventsToUse, std::string tagToUse = {})
        : events (eventsToUse), tag (std::move (tagToUse)) {}

    void deviceAdded (Device* device) override
    {
        events.push_back (tag + "added " + device->getName().toStdString());
        if (onAdded)
            onAdded (device);
    }

    void deviceRemoved (Device* device) override
    {
        events.push_back (tag + "removed " + device->getName().toStdString());
        if (onRemoved)
            onRemoved (device);
    }

    Events& events;
    std::string tag;
    std::function<void (Device*)> onAdded, onRemoved;
};

// Never the real home folder: every settings file lives here.
struct TemporaryFolder
{
    TemporaryFolder() { folder.createDirectory(); }
    ~TemporaryFolder() { folder.deleteRecursively(); }

    juce::String path() const { return folder.getFullPathName() + "/"; }

    const juce::File folder { juce::File ("/tmp").getNonexistentChildFile ("PellionDeviceDiscoveryTest", {}, false) };
};

std::string readBytes (const juce::File& file)
{
    juce::MemoryBlock block;
    if (! file.loadFileAsData (block))
        return {};
    return { static_cast<const char*> (block.getData()), block.getSize() };
}

void writeBytes (const juce::File& file, const std::string& bytes)
{
    // replaceWithData deletes the file when given no bytes.
    if (bytes.empty())
    {
        ASSERT_TRUE (file.deleteFile() && file.create().wasOk());
        return;
    }

    ASSERT_TRUE (file.replaceWithData (bytes.data(), bytes.size()));
}

std::unique_ptr<juce::XmlElement> readXml (const juce::File& file)
{
    const auto bytes = readBytes (file);
    return StrictXmlReader::parse (bytes.data(), bytes.size());
}

// Saved files carry the XML declaration and CR LF line ends only.
void expectWrittenFormat (const juce::File& file)
{
    const auto text = readBytes (file);
    EXPECT_EQ (text.rfind ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", 0), 0u) << text;

    for (size_t i = 0; i < text.size(); ++i)
        EXPECT_TRUE (text[i] != '\n' || (i > 0 && text[i - 1] == '\r')) << "bare LF at " << i;
}

const juce::String pedalName ("QZR-1A2B");
} // namespace

//==============================================================================
TEST (DeviceNames, PedalNameIsThePrefixADashAndFourUpperCaseHexDigits)
{
    EXPECT_EQ (UsbDevice::extractDeviceName ("QZR-1A2B"), "QZR-1A2B");
    EXPECT_EQ (UsbDevice::extractDeviceName ("QZR-1A2B MIDI 1"), "QZR-1A2B");
    EXPECT_EQ (UsbDevice::extractDeviceName ("QZR-1A2BC"), "QZR-1A2B");
    EXPECT_EQ (UsbDevice::extractDeviceName ("QZR-0000"), "QZR-0000");
    EXPECT_EQ (UsbDevice::extractDeviceName ("QZR-FFFF"), "QZR-FFFF");

    EXPECT_EQ (UsbDevice::extractDeviceName ("QZR MIDI Bootloader"), "");
    EXPECT_EQ (UsbDevice::extractDeviceName ("QZR-1a2b"), "");
    EXPECT_EQ (UsbDevice::extractDeviceName ("XQZR-1A2B"), "");
    EXPECT_EQ (UsbDevice::extractDeviceName ("QZR_1A2B"), "");
    EXPECT_EQ (UsbDevice::extractDeviceName ("QZR-1A2"), "");
    EXPECT_EQ (UsbDevice::extractDeviceName ("QZR-1G2B"), "");
    EXPECT_EQ (UsbDevice::extractDeviceName (""), "");
    EXPECT_EQ (UsbDevice::deviceNameForPort ("QZR-1A2B MIDI 1"), "QZR-1A2B");
}

TEST (DeviceNames, BootloaderNameIsAWholeWordWithThePedalsOwnPreferred)
{
    EXPECT_EQ (UsbBootDevice::deviceNameForPort ("QZR MIDI Bootloader"), "QZR MIDI Bootloader");
    EXPECT_EQ (UsbBootDevice::deviceNameForPort ("Port 2 QZR MIDI Bootloader 1"), "QZR MIDI Bootloader");
    EXPECT_EQ (UsbBootDevice::deviceNameForPort ("USB MIDI Bootloader"), "USB MIDI Bootloader");
    EXPECT_EQ (UsbBootDevice::deviceNameForPort ("USB MIDI Bootloader QZR MIDI Bootloader"), "QZR MIDI Bootloader");

    EXPECT_EQ (UsbBootDevice::deviceNameForPort ("XQZR MIDI Bootloader"), "");
    EXPECT_EQ (UsbBootDevice::deviceNameForPort ("QZR MIDI Bootloaders"), "");
    EXPECT_EQ (UsbBootDevice::deviceNameForPort ("QZR MIDI"), "");
    EXPECT_EQ (UsbBootDevice::deviceNameForPort ("QZR-1A2B"), "");
    EXPECT_EQ (UsbBootDevice::deviceNameForPort (""), "");
}

//==============================================================================
class DeviceDiscoveryTest : public ::testing::Test
{
protected:
    DeviceDiscoveryTest()
    {
        ports.install();
        audioTypes.install();
    }

    PedalManager& makeManager (bool withSettingsFolder = true)
    {
        manager = std::make_unique<PedalManager>();
        if (withSettingsFolder)
            manager->setSettingsFolder (temp.path());
        manager->addListener (&log);
        return *manager;
    }

    juce::File settingsFile (const juce::String& name) const { return temp.folder.getChildFile (name + "-settings.xml"); }

    // Declared first, destroyed last: the manager saves into it when it goes.
    TemporaryFolder temp;
    VirtualMidiPorts ports;
    VirtualAudioDeviceTypes audioTypes;
    EmulatedPedal pedal { ports, audioTypes, pedalName, 0x15 };
    Events events;
    EventLog<UsbDevice> log { events };
    std::unique_ptr<PedalManager> manager;
};

TEST_F (DeviceDiscoveryTest, FindsAPedalWithMidiPortsAndAnAudioDevice)
{
    pedal.plugIn();
    auto& m = makeManager();

    EXPECT_EQ (m.getNumDevices(), 0);
    m.scanForDevices();

    ASSERT_EQ (m.getNumDevices(), 1);
    EXPECT_EQ (m.getDevice (0)->getName(), pedalName);
    EXPECT_EQ (m.findDevice (pedalName), m.getDevice (0));
    EXPECT_EQ (m.findDevice ("QZR-FFFF"), nullptr);
    EXPECT_EQ (events, (Events { "added QZR-1A2B" }));

    m.scanForDevices();
    EXPECT_EQ (m.getNumDevices(), 1);
    EXPECT_EQ (events.size(), 1u);
}

TEST_F (DeviceDiscoveryTest, PortNamesWithASuffixMakeOnePedalOfTheName)
{
    ports.publishInput ("QZR-1A2B MIDI 1");
    ports.publishOutput ("QZR-1A2B MIDI 1", [] (const juce::MidiMessage&) {});
    audioTypes.publish (pedalName);
    auto& m = makeManager();

    m.scanForDevices();

    ASSERT_EQ (m.getNumDevices(), 1);
    EXPECT_EQ (m.getDevice (0)->getName(), pedalName);
}

TEST_F (DeviceDiscoveryTest, NoPedalWithoutItsAudioDeviceOrOutputPort)
{
    pedal.plugIn();
    pedal.withdrawAudio();
    ports.publishInput ("QZR-0001");
    audioTypes.publish ("QZR-0001");
    auto& m = makeManager();

    m.scanForDevices();
    EXPECT_EQ (m.getNumDevices(), 0);
    EXPECT_TRUE (events.empty());

    pedal.plugIn();
    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 1);
    EXPECT_EQ (m.getDevice (0)->getName(), pedalName);
}

TEST_F (DeviceDiscoveryTest, APedalWhoseAudioDeviceVanishesIsSavedReportedAndDeleted)
{
    pedal.plugIn();
    auto& m = makeManager();
    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 1);
    m.getDevice (0)->getDriver().getSettings().blockSize.setValue (256, nullptr);

    bool savedBeforeReport = false;
    log.onRemoved = [&] (UsbDevice* device)
    {
        EXPECT_EQ (device->getName(), pedalName);
        const auto xml = readXml (settingsFile (pedalName));
        savedBeforeReport = xml != nullptr && xml->getIntAttribute ("blockSize") == 256;
    };

    pedal.withdrawAudio();
    m.scanForDevices();

    EXPECT_TRUE (savedBeforeReport);
    EXPECT_EQ (events, (Events { "added QZR-1A2B", "removed QZR-1A2B" }));
    EXPECT_EQ (m.getNumDevices(), 0);
    EXPECT_EQ (m.findDevice (pedalName), nullptr);
}

TEST_F (DeviceDiscoveryTest, AnnouncesInPortOrderButListsByName)
{
    EmulatedPedal first (ports, audioTypes, "QZR-A000", 0x20);
    EmulatedPedal second (ports, audioTypes, "QZR-00FF", 0x21);
    first.plugIn();
    second.plugIn();
    auto& m = makeManager();

    m.scanForDevices();

    EXPECT_EQ (events, (Events { "added QZR-A000", "added QZR-00FF" }));
    ASSERT_EQ (m.getNumDevices(), 2);
    EXPECT_EQ (m.getDevice (0)->getName(), "QZR-00FF");
    EXPECT_EQ (m.getDevice (1)->getName(), "QZR-A000");

    manager.reset(); // before the pedals go
}

TEST_F (DeviceDiscoveryTest, RemovalsAreReportedAfterAdditions)
{
    EmulatedPedal other (ports, audioTypes, "QZR-0002", 0x22);
    other.plugIn();
    auto& m = makeManager();
    m.scanForDevices();
    events.clear();

    other.unplug();
    pedal.plugIn();
    m.scanForDevices();

    EXPECT_EQ (events, (Events { "added QZR-1A2B", "removed QZR-0002" }));
    ASSERT_EQ (m.getNumDevices(), 1);
    EXPECT_EQ (m.getDevice (0)->getName(), pedalName);

    manager.reset();
}

TEST_F (DeviceDiscoveryTest, TwoInputPortsOfOneNameMakeOneDevice)
{
    pedal.plugIn();
    ports.publishInput (pedalName);
    auto& m = makeManager();

    m.scanForDevices();
    m.scanForDevices();

    EXPECT_EQ (m.getNumDevices(), 1);
    EXPECT_EQ (events, (Events { "added QZR-1A2B" }));
}

TEST_F (DeviceDiscoveryTest, TheLastAddedListenerIsCalledFirst)
{
    pedal.plugIn();
    auto& m = makeManager();
    EventLog<UsbDevice> second (events, "second ");
    m.addListener (&second);

    m.scanForDevices();
    pedal.withdrawAudio();
    m.scanForDevices();

    EXPECT_EQ (events, (Events { "second added QZR-1A2B", "added QZR-1A2B",
                                 "second removed QZR-1A2B", "removed QZR-1A2B" }));
    m.removeListener (&second);
}

TEST_F (DeviceDiscoveryTest, ScansFiftyMillisecondsAfterCreationThenPeriodically)
{
    pedal.plugIn();
    const auto start = juce::Time::getMillisecondCounterHiRes();
    auto& m = makeManager();

    EXPECT_FALSE (m.isScanningPeriodically());
    EXPECT_EQ (m.getNumDevices(), 0);

    double foundAfter = -1.0;
    while (juce::Time::getMillisecondCounterHiRes() - start < 250.0)
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (2);

        if (m.getNumDevices() > 0)
        {
            foundAfter = juce::Time::getMillisecondCounterHiRes() - start;
            break;
        }
    }

    EXPECT_GE (foundAfter, 40.0);
    EXPECT_TRUE (m.isScanningPeriodically());
    EXPECT_EQ (m.getNumDevices(), 1);
}

//==============================================================================
TEST_F (DeviceDiscoveryTest, SettingsFileIsTheFolderThenTheNameThenASuffix)
{
    pedal.plugIn();
    auto& m = makeManager();
    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 1);

    EXPECT_EQ (m.getSettingsFile (m.getDevice (0)).getFullPathName(), temp.path() + "QZR-1A2B-settings.xml");

    m.setSettingsFolder ({});
    EXPECT_EQ (m.getSettingsFile (m.getDevice (0)), juce::File());
}

TEST_F (DeviceDiscoveryTest, APedalFoundWithoutASettingsFolderLoadsNothingAndNeverDeletesTheFile)
{
    const std::string content = "<DEVICE blockSize=\"256\"/>";
    writeBytes (settingsFile (pedalName), content);
    pedal.plugIn();
    auto& m = makeManager (false);

    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 1);
    EXPECT_EQ (m.getDevice (0)->getDriver().getSettingsTree().getNumProperties(), 0);
    EXPECT_EQ (m.getDevice (0)->getDriver().getSettings().blockSize.get(), 0);

    m.setSettingsFolder (temp.path());
    pedal.withdrawAudio();
    m.scanForDevices();

    EXPECT_EQ (m.getNumDevices(), 0);
    EXPECT_EQ (readBytes (settingsFile (pedalName)), content);
}

TEST_F (DeviceDiscoveryTest, LoadsTheFilesValuesAndKeepsUnknownAttributes)
{
    writeBytes (settingsFile (pedalName),
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n"
                "<DEVICE blockSize=\"256\" outAdjust=\"2\" inAdjust=\"1\" extraLatency=\"120\" custom=\"keep\"/>\r\n");
    pedal.plugIn();
    auto& m = makeManager();

    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 1);

    auto& driver = m.getDevice (0)->getDriver();
    auto& settings = driver.getSettings();
    EXPECT_EQ (settings.blockSize.get(), 256);
    EXPECT_EQ (settings.outAdjust.get(), 2);
    EXPECT_EQ (settings.inAdjust.get(), 1);
    EXPECT_EQ (settings.extraLatency.get(), 120);
    EXPECT_EQ (driver.getSettingsTree()["custom"].toString(), "keep");

    settings.extraLatency.setValue (50, nullptr);
    pedal.withdrawAudio();
    m.scanForDevices();

    const auto xml = readXml (settingsFile (pedalName));
    ASSERT_NE (xml, nullptr);
    EXPECT_TRUE (xml->hasTagName ("DEVICE"));
    EXPECT_EQ (xml->getStringAttribute ("custom"), "keep");
    EXPECT_EQ (xml->getIntAttribute ("blockSize"), 256);
    EXPECT_EQ (xml->getIntAttribute ("outAdjust"), 2);
    EXPECT_EQ (xml->getIntAttribute ("inAdjust"), 1);
    EXPECT_EQ (xml->getIntAttribute ("extraLatency"), 50);
    expectWrittenFormat (settingsFile (pedalName));
}

TEST_F (DeviceDiscoveryTest, AnUnlistedBlockSizeReadsAsZeroButIsSavedAsItWas)
{
    writeBytes (settingsFile (pedalName), "<DEVICE blockSize=\"100\"/>");
    pedal.plugIn();
    auto& m = makeManager();

    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 1);
    EXPECT_EQ (m.getDevice (0)->getDriver().getSettings().blockSize.get(), 0);

    pedal.withdrawAudio();
    m.scanForDevices();

    const auto xml = readXml (settingsFile (pedalName));
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("blockSize"), "100");
}

TEST_F (DeviceDiscoveryTest, APedalWithoutAFileOrSettingsLeavesNoFile)
{
    pedal.plugIn();
    auto& m = makeManager();
    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 1);
    EXPECT_EQ (m.getDevice (0)->getDriver().getSettingsTree().getNumProperties(), 0);

    pedal.withdrawAudio();
    m.scanForDevices();

    EXPECT_FALSE (settingsFile (pedalName).exists());
}

TEST_F (DeviceDiscoveryTest, SettingsMadeWithoutAFileAreWrittenOnRemoval)
{
    pedal.plugIn();
    auto& m = makeManager();
    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 1);
    m.getDevice (0)->getDriver().getSettings().inAdjust.setValue (2, nullptr);

    pedal.withdrawAudio();
    m.scanForDevices();

    const auto xml = readXml (settingsFile (pedalName));
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getIntAttribute ("inAdjust"), 2);
    expectWrittenFormat (settingsFile (pedalName));
}

TEST_F (DeviceDiscoveryTest, AFileWhoseSettingsWereClearedIsDeletedOnRemoval)
{
    writeBytes (settingsFile (pedalName), "<DEVICE blockSize=\"256\"/>");
    pedal.plugIn();
    auto& m = makeManager();
    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 1);

    m.getDevice (0)->getDriver().getSettingsTree().removeAllProperties (nullptr);
    pedal.withdrawAudio();
    m.scanForDevices();

    EXPECT_FALSE (settingsFile (pedalName).exists());
}

TEST_F (DeviceDiscoveryTest, AFileThatAppearedAfterItWasFoundAbsentIsDeletedWhenThereAreNoSettings)
{
    pedal.plugIn();
    auto& m = makeManager();
    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 1);

    writeBytes (settingsFile (pedalName), "<DEVICE blockSize=\"256\"/>");
    pedal.withdrawAudio();
    m.scanForDevices();

    EXPECT_FALSE (settingsFile (pedalName).exists());
}

namespace
{
struct HostileFile
{
    const char* what;
    std::string bytes;
};

std::vector<HostileFile> hostileFiles()
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char> ((i * 131 + 7) & 0xff);

    std::string deep = "<DEVICE blockSize=\"256\">";
    for (int i = 0; i < 40; ++i)
        deep += "<a>";
    for (int i = 0; i < 40; ++i)
        deep += "</a>";
    deep += "</DEVICE>";

    // Well formed, but far beyond any settings file.
    std::string huge = "<DEVICE blockSize=\"256\" pad=\"" + std::string (10 * 1024 * 1024, 'x') + "\"/>";

    return { { "garbage bytes", garbage },
             { "wrong root", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<PRESET blockSize=\"256\"/>\r\n" },
             { "10 MB", huge },
             { "deep nesting", deep },
             { "text content", "<DEVICE blockSize=\"256\">text</DEVICE>" },
             { "truncated", "<DEVICE blockSize=\"256\"" },
             { "empty", "" } };
}
} // namespace

TEST_F (DeviceDiscoveryTest, AnUnreadableFileGivesDefaultsAndIsLeftUntouched)
{
    auto& m = makeManager();

    for (const auto& hostile : hostileFiles())
    {
        SCOPED_TRACE (hostile.what);
        writeBytes (settingsFile (pedalName), hostile.bytes);

        pedal.plugIn();
        m.scanForDevices();
        ASSERT_EQ (m.getNumDevices(), 1);
        EXPECT_EQ (m.getDevice (0)->getDriver().getSettingsTree().getNumProperties(), 0);
        EXPECT_EQ (m.getDevice (0)->getDriver().getSettings().blockSize.get(), 0);

        pedal.withdrawAudio();
        m.scanForDevices();
        ASSERT_EQ (m.getNumDevices(), 0);

        EXPECT_TRUE (settingsFile (pedalName).existsAsFile());
        EXPECT_TRUE (readBytes (settingsFile (pedalName)) == hostile.bytes);
    }
}

TEST_F (DeviceDiscoveryTest, AnUnreadableFileIsReplacedOnceSettingsAreMade)
{
    auto& m = makeManager();

    for (const auto& hostile : hostileFiles())
    {
        SCOPED_TRACE (hostile.what);
        writeBytes (settingsFile (pedalName), hostile.bytes);

        pedal.plugIn();
        m.scanForDevices();
        ASSERT_EQ (m.getNumDevices(), 1);
        m.getDevice (0)->getDriver().getSettings().blockSize.setValue (512, nullptr);

        pedal.withdrawAudio();
        m.scanForDevices();

        const auto xml = readXml (settingsFile (pedalName));
        ASSERT_NE (xml, nullptr);
        EXPECT_TRUE (xml->hasTagName ("DEVICE"));
        EXPECT_EQ (xml->getNumAttributes(), 1);
        EXPECT_EQ (xml->getIntAttribute ("blockSize"), 512);
    }
}

TEST_F (DeviceDiscoveryTest, DestructionSavesEveryPedalWithoutReportingRemovals)
{
    EmulatedPedal other (ports, audioTypes, "QZR-0003", 0x23);
    writeBytes (settingsFile ("QZR-0003"), "<DEVICE blockSize=\"256\"/>");
    pedal.plugIn();
    other.plugIn();
    auto& m = makeManager();
    m.scanForDevices();
    ASSERT_EQ (m.getNumDevices(), 2);

    m.findDevice (pedalName)->getDriver().getSettings().outAdjust.setValue (2, nullptr);
    m.findDevice ("QZR-0003")->getDriver().getSettingsTree().removeAllProperties (nullptr);
    events.clear();

    manager.reset();

    EXPECT_TRUE (events.empty());
    const auto xml = readXml (settingsFile (pedalName));
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getIntAttribute ("outAdjust"), 2);
    expectWrittenFormat (settingsFile (pedalName));
    EXPECT_FALSE (settingsFile ("QZR-0003").exists());
}

//==============================================================================
TEST_F (DeviceDiscoveryTest, SharedPointersShareOneManagerUntilTheLastGoes)
{
    {
        juce::SharedResourcePointer<PedalManager> a;
        juce::SharedResourcePointer<PedalManager> b;

        EXPECT_EQ (&a.getObject(), &b.getObject());
        a->setSettingsFolder (temp.path());
        EXPECT_EQ (b->getSettingsFolder(), temp.path());
    }

    juce::SharedResourcePointer<PedalManager> fresh;
    EXPECT_TRUE (fresh->getSettingsFolder().isEmpty());
    EXPECT_EQ (fresh->getNumDevices(), 0);
    EXPECT_FALSE (fresh->isScanningPeriodically());
}

//==============================================================================
TEST_F (DeviceDiscoveryTest, BootloadersNeedNoAudioAndTheirOwnNameComesFirst)
{
    EmulatedPedal other (ports, audioTypes, "QZR-0004", 0x24);
    pedal.plugIn();
    other.publishBootloader ("USB MIDI Bootloader");
    pedal.publishBootloader ("QZR MIDI Bootloader");

    Events bootEvents;
    EventLog<UsbBootDevice> bootLog (bootEvents);
    BootManager boot;
    boot.addListener (&bootLog);

    boot.scanForDevices();

    EXPECT_EQ (bootEvents, (Events { "added USB MIDI Bootloader", "added QZR MIDI Bootloader" }));
    ASSERT_EQ (boot.getNumDevices(), 2);
    EXPECT_EQ (boot.getDevice (0)->getName(), "QZR MIDI Bootloader");
    EXPECT_EQ (boot.getDevice (1)->getName(), "USB MIDI Bootloader");
    EXPECT_NE (boot.findDevice ("QZR MIDI Bootloader"), nullptr);

    bootEvents.clear();
    pedal.withdrawBootloader();
    boot.scanForDevices();

    EXPECT_EQ (bootEvents, (Events { "removed QZR MIDI Bootloader" }));
    ASSERT_EQ (boot.getNumDevices(), 1);
    EXPECT_EQ (boot.getDevice (0)->getName(), "USB MIDI Bootloader");

    other.withdrawBootloader();
    boot.scanForDevices();
    EXPECT_EQ (boot.getNumDevices(), 0);
    boot.removeListener (&bootLog);
}

TEST_F (DeviceDiscoveryTest, ABootloaderPortWithAnOuterNameIsFoundUnderItsOwn)
{
    pedal.publishBootloader ("Port 1 QZR MIDI Bootloader 2");

    BootManager boot;
    boot.scanForDevices();

    ASSERT_EQ (boot.getNumDevices(), 1);
    EXPECT_EQ (boot.getDevice (0)->getName(), "QZR MIDI Bootloader");
}
