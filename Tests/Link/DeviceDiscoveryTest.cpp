#include "Settings/SettingsIdentifiers.h"
#include "Utilities/StrictXmlReader.h"

#include "Support/LinkRig.h"
#include "Support/MessageLoop.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace
{
using PedalManager = UsbBaseDeviceManager<UsbDevice>;
using BootManager = UsbBaseDeviceManager<UsbBootDevice>;
using Events = CallLog::Lines;

// Never the real home folder: every settings file lives here.
struct TemporaryFolder
{
    TemporaryFolder() { folder.createDirectory(); }
    ~TemporaryFolder() { folder.deleteRecursively(); }

    juce::String path() const { return folder.getFullPathName() + "/"; }

    const juce::File folder { juce::File ("/tmp").getChildFile ("PellionDeviceDiscoveryTest-" + juce::Uuid().toString()) };
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
        ASSERT_TRUE (file.deleteFile() && file.create().wasOk());
    else
        ASSERT_TRUE (file.replaceWithData (bytes.data(), bytes.size()));
}

// The file's element on one line, "unreadable" or "no file".
std::string readXmlText (const juce::File& file)
{
    if (! file.existsAsFile())
        return "no file";

    const auto bytes = readBytes (file);
    const auto xml = StrictXmlReader::parse (bytes.data(), bytes.size());
    return xml == nullptr ? "unreadable" : xml->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader()).toStdString();
}

// The names of the manager's devices, in its order.
template <typename Manager>
Events namesOf (Manager& manager)
{
    Events names;
    for (int i = 0; i < manager.getNumDevices(); ++i)
        names.push_back (manager.getDevice (i)->getName().toStdString());
    return names;
}

// Saved files carry the XML declaration and CR LF line ends only.
void expectWrittenFormat (const juce::File& file)
{
    const auto text = readBytes (file);
    EXPECT_EQ (text.rfind ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", 0), 0u) << text;

    for (size_t i = 0; i < text.size(); ++i)
        EXPECT_TRUE (text[i] != '\n' || (i > 0 && text[i - 1] == '\r')) << "bare LF at " << i;
}

const juce::String pedalName (LinkRig::pedalName);
const std::string blockSize256 = "<DEVICE blockSize=\"256\"/>";

std::array<int, 4> valuesOf (DeviceSettings& s)
{
    return { s.blockSize.get(), s.outAdjust.get(), s.inAdjust.get(), s.extraLatency.get() };
}

using NameCases = std::vector<std::pair<const char*, const char*>>;

template <typename NameOf>
void expectNames (NameOf nameOf, const NameCases& cases)
{
    for (const auto& [port, name] : cases)
    {
        SCOPED_TRACE (port);
        EXPECT_EQ (nameOf (port), name);
    }
}
} // namespace

//==============================================================================
TEST (DeviceNames, PedalNameIsThePrefixADashAndFourUpperCaseHexDigits)
{
    expectNames (UsbDevice::extractDeviceName,
                 { { "QZR-1A2B", "QZR-1A2B" }, { "QZR-1A2B MIDI 1", "QZR-1A2B" }, { "QZR-1A2BC", "QZR-1A2B" },
                   { "QZR-0000", "QZR-0000" }, { "QZR-FFFF", "QZR-FFFF" }, { "QZR MIDI Bootloader", "" },
                   { "QZR-1a2b", "" }, { "XQZR-1A2B", "" }, { "QZR_1A2B", "" }, { "QZR-1A2", "" },
                   { "QZR-1G2B", "" }, { "", "" } });
}

TEST (DeviceNames, BootloaderNameIsAWholeWordWithThePedalsOwnPreferred)
{
    expectNames (UsbBootDevice::deviceNameForPort,
                 { { "QZR MIDI Bootloader", "QZR MIDI Bootloader" },
                   { "Port 2 QZR MIDI Bootloader 1", "QZR MIDI Bootloader" },
                   { "USB MIDI Bootloader", "USB MIDI Bootloader" },
                   { "USB MIDI Bootloader QZR MIDI Bootloader", "QZR MIDI Bootloader" },
                   { "XQZR MIDI Bootloader", "" }, { "QZR MIDI Bootloaders", "" }, { "QZR MIDI", "" },
                   { "QZR-1A2B", "" }, { "", "" } });
}

//==============================================================================
// A manager of its own over the rig's ports, with the pedal unplugged at first.
class DeviceDiscoveryTest : public ::testing::Test
{
protected:
    DeviceDiscoveryTest() { rig.unplugAndScan(); }

    PedalManager& makeManager (bool withSettingsFolder = true)
    {
        manager = std::make_unique<PedalManager>();
        if (withSettingsFolder)
            manager->setSettingsFolder (temp.path());
        manager->addListener (&log);
        return *manager;
    }

    // Plugs the pedal in, makes the manager and scans: the pedal must be its one device.
    void plugInAndFind (bool withSettingsFolder = true)
    {
        pedal.plugIn();
        makeManager (withSettingsFolder).scanForDevices();
        ASSERT_EQ (manager->getNumDevices(), 1);
    }

    void withdrawAndScan()
    {
        pedal.withdrawAudio();
        manager->scanForDevices();
    }

    UsbDeviceDriver& driver (int index = 0) { return manager->getDevice (index)->getDriver(); }
    juce::File settingsFile (const juce::String& name = pedalName) const { return temp.folder.getChildFile (name + "-settings.xml"); }

    // Declared first, destroyed last: the manager saves into it when it goes.
    TemporaryFolder temp;
    LinkRig rig;
    VirtualMidiPorts& ports = rig.ports;
    VirtualAudioDeviceTypes& audioTypes = rig.audioTypes;
    EmulatedPedal& pedal = rig.pedal;
    CallLog log;
    Events& events = log.lines;
    std::unique_ptr<PedalManager> manager;
};

// Each set-up in a fresh rig; two scans find it once.
struct PortSetUp
{
    const char* what;
    std::function<void (LinkRig&)> publish;
    Events found;
};

class PortSetUpTest : public DeviceDiscoveryTest, public ::testing::WithParamInterface<PortSetUp>
{
};

TEST_P (PortSetUpTest, FindsAPedalOnlyWithItsMidiPortsAndItsAudioDevice)
{
    GetParam().publish (rig);
    makeManager();
    manager->scanForDevices();
    manager->scanForDevices();

    EXPECT_EQ (namesOf (*manager), GetParam().found);
    Events added;
    for (auto& name : GetParam().found)
        added.push_back ("added " + name);
    EXPECT_EQ (events, added);
}

INSTANTIATE_TEST_SUITE_P (DeviceDiscovery, PortSetUpTest, ::testing::Values (
    PortSetUp { "pedal", [] (LinkRig& r) { r.pedal.plugIn(); }, { "QZR-1A2B" } },
    PortSetUp { "suffixed port names", [] (LinkRig& r)
                {
                    r.ports.publishInput ("QZR-1A2B MIDI 1");
                    r.ports.publishOutput ("QZR-1A2B MIDI 1", [] (const juce::MidiMessage&) {});
                    r.audioTypes.publish (pedalName);
                }, { "QZR-1A2B" } },
    PortSetUp { "two input ports of one name", [] (LinkRig& r) { r.ports.publishInput (pedalName); r.pedal.plugIn(); }, { "QZR-1A2B" } },
    PortSetUp { "no audio device", [] (LinkRig& r) { r.pedal.plugIn(); r.pedal.withdrawAudio(); }, {} },
    PortSetUp { "no output port", [] (LinkRig& r) { r.ports.publishInput ("QZR-0001"); r.audioTypes.publish ("QZR-0001"); }, {} }),
    [] (const auto& info) { return juce::String (info.param.what).removeCharacters (" ").toStdString(); });

TEST_F (DeviceDiscoveryTest, APedalWhoseAudioDeviceVanishesIsSavedReportedAndDeleted)
{
    ASSERT_NO_FATAL_FAILURE (plugInAndFind());
    driver().getSettings().blockSize.setValue (256, nullptr);

    bool savedBeforeReport = false;
    log.onCall = [&] { savedBeforeReport = readXmlText (settingsFile()) == blockSize256; };

    withdrawAndScan();
    EXPECT_TRUE (savedBeforeReport);
    EXPECT_EQ (events, (Events { "added QZR-1A2B", "removed QZR-1A2B" }));
    EXPECT_EQ (manager->getNumDevices(), 0);
}

// Additions come in port order, the list is by name, removals come last, and the
// listener added last hears first.
TEST_F (DeviceDiscoveryTest, AdditionsComeInPortOrderThenRemovalsAndTheListIsByName)
{
    EmulatedPedal first (ports, audioTypes, "QZR-A000", 0x20), second (ports, audioTypes, "QZR-00FF", 0x21);
    first.plugIn();
    second.plugIn();
    makeManager().scanForDevices();

    EXPECT_EQ (events, (Events { "added QZR-A000", "added QZR-00FF" }));
    EXPECT_EQ (namesOf (*manager), (Events { "QZR-00FF", "QZR-A000" }));

    CallLog later (events, "later ");
    manager->addListener (&later);
    events.clear();
    first.unplug();
    pedal.plugIn();
    manager->scanForDevices();

    EXPECT_EQ (events, (Events { "later added QZR-1A2B", "added QZR-1A2B", "later removed QZR-A000", "removed QZR-A000" }));
    EXPECT_EQ (namesOf (*manager), (Events { "QZR-00FF", "QZR-1A2B" }));
    manager.reset(); // before the pedals go
}

// A pedal unplugged and plugged back between two scans comes back on new ports:
// the old device, whose ports are gone for good, is saved and replaced.
TEST_F (DeviceDiscoveryTest, APedalPluggedBackWithinOneScanIsReplacedWithItsSettings)
{
    ASSERT_NO_FATAL_FAILURE (plugInAndFind());
    auto* old = manager->getDevice (0);
    old->getDriver().getSettings().blockSize.setValue (256, nullptr);
    old->getDriver().connect (Mode::control);

    pedal.unplug();
    pedal.plugIn();
    manager->scanForDevices();

    ASSERT_EQ (manager->getNumDevices(), 1);
    auto* replaced = manager->getDevice (0);
    EXPECT_EQ (events, (Events { "added QZR-1A2B", "removed QZR-1A2B", "added QZR-1A2B" }));
    EXPECT_EQ (replaced->getMidiDevice().getInputPort().identifier, pedal.getSourceIdentifier());
    EXPECT_EQ (replaced->getMidiDevice().getOutputPort().identifier, pedal.getDestinationIdentifier());
    EXPECT_EQ (replaced->getDriver().getSettings().blockSize.get(), 256);

    // The new ports reach the pedal.
    replaced->getDriver().connect (Mode::audio);
    EXPECT_TRUE (rig.ports.flush());
    replaced->getMidiDevice().deliverWaitingMessages();
    EXPECT_EQ (replaced->getDriver().getState(), Mode::audio);
    EXPECT_EQ (replaced->getDriver().getDeviceId(), LinkRig::pedalId);

    // Scans that find it on its own ports keep it.
    manager->scanForDevices();
    EXPECT_EQ (manager->getDevice (0), replaced);
    EXPECT_EQ (events.size(), 3u);
}

// The first scan comes 50 ms after the manager is made and the next ones every
// second. The framework's timers may fire early, so the periods asked for are read.
TEST_F (DeviceDiscoveryTest, ScansFirstAfterFiftyMillisecondsThenEverySecond)
{
    pedal.plugIn();
    auto& m = makeManager();

    EXPECT_EQ (m.getScanInterval(), 50);
    EXPECT_FALSE (m.isScanningPeriodically());
    EXPECT_EQ (m.getNumDevices(), 0);

    ASSERT_TRUE (runLoopUntil ("the manager's first scan", [&m] { return m.getNumDevices() > 0; }));
    EXPECT_EQ (m.getNumDevices(), 1);
    EXPECT_TRUE (m.isScanningPeriodically());
    EXPECT_EQ (m.getScanInterval(), 1000);
}

//==============================================================================
TEST_F (DeviceDiscoveryTest, SettingsFileIsTheFolderThenTheNameThenASuffix)
{
    ASSERT_NO_FATAL_FAILURE (plugInAndFind());
    EXPECT_EQ (manager->getSettingsFile (manager->getDevice (0)).getFullPathName(), temp.path() + "QZR-1A2B-settings.xml");

    manager->setSettingsFolder ({});
    EXPECT_EQ (manager->getSettingsFile (manager->getDevice (0)), juce::File());
}

TEST_F (DeviceDiscoveryTest, APedalFoundWithoutASettingsFolderLoadsNothingAndNeverDeletesTheFile)
{
    ASSERT_NO_FATAL_FAILURE (writeBytes (settingsFile(), blockSize256));
    ASSERT_NO_FATAL_FAILURE (plugInAndFind (false));
    EXPECT_EQ (driver().getSettingsTree().getNumProperties(), 0);
    EXPECT_EQ (driver().getSettings().blockSize.get(), 0);

    manager->setSettingsFolder (temp.path());
    withdrawAndScan();

    EXPECT_EQ (manager->getNumDevices(), 0);
    EXPECT_EQ (readBytes (settingsFile()), blockSize256);
}

// Each pedal is found with or without a file, may have its settings changed, and is then removed.
// Files written with changed settings must have the saved format.
TEST_F (DeviceDiscoveryTest, SettingsFilesAreLoadedAndSavedOrDeletedOnRemoval)
{
    const struct { const char* what; std::string before; std::function<void()> whileFound; std::string after; bool written; } cases[] = {
        { "unknown attributes are kept",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n"
          "<DEVICE blockSize=\"256\" outAdjust=\"2\" inAdjust=\"1\" extraLatency=\"120\" custom=\"keep\"/>\r\n",
          [this]
          {
              auto& settings = driver().getSettings();
              EXPECT_EQ (valuesOf (settings), (std::array { 256, 2, 1, 120 }));
              EXPECT_EQ (driver().getSettingsTree()["custom"].toString(), "keep");
              settings.extraLatency.setValue (50, nullptr);
          },
          "<DEVICE blockSize=\"256\" outAdjust=\"2\" inAdjust=\"1\" extraLatency=\"50\" custom=\"keep\"/>", true },
        { "an unlisted block size reads as 0 but is saved as it was", "<DEVICE blockSize=\"100\"/>",
          [this] { EXPECT_EQ (driver().getSettings().blockSize.get(), 0); }, "<DEVICE blockSize=\"100\"/>", false },
        { "settings made without a file", {}, [this] { driver().getSettings().inAdjust.setValue (2, nullptr); },
          "<DEVICE inAdjust=\"2\"/>", true },
        { "no file and no settings", {}, [this] { EXPECT_EQ (driver().getSettingsTree().getNumProperties(), 0); }, "no file", false },
        { "a file whose settings were cleared", blockSize256,
          [this] { driver().getSettingsTree().removeAllProperties (nullptr); }, "no file", false },
        { "a file that appeared after it was found absent", {},
          [this] { writeBytes (settingsFile(), blockSize256); }, "no file", false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        ASSERT_TRUE (settingsFile().deleteFile());
        if (! c.before.empty())
        {
            ASSERT_NO_FATAL_FAILURE (writeBytes (settingsFile(), c.before));
        }

        ASSERT_NO_FATAL_FAILURE (plugInAndFind());
        c.whileFound();
        withdrawAndScan();
        EXPECT_EQ (readXmlText (settingsFile()), c.after);

        if (c.written)
            expectWrittenFormat (settingsFile());
    }
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

    const std::string deep = "<DEVICE blockSize=\"256\">" + juce::String ("<a>").repeatedString ("<a>", 40).toStdString()
                           + juce::String ("</a>").repeatedString ("</a>", 40).toStdString() + "</DEVICE>";

    // Well formed, but far beyond any settings file.
    const std::string huge = "<DEVICE blockSize=\"256\" pad=\"" + std::string (10 * 1024 * 1024, 'x') + "\"/>";

    return { { "garbage bytes", garbage },
             { "wrong root", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<PRESET blockSize=\"256\"/>\r\n" },
             { "10 MB", huge },
             { "deep nesting", deep },
             { "text content", "<DEVICE blockSize=\"256\">text</DEVICE>" },
             { "truncated", "<DEVICE blockSize=\"256\"" },
             { "empty", "" } };
}
} // namespace

// Unreadable files give defaults and are left untouched, unless settings are made: then they are replaced.
TEST_F (DeviceDiscoveryTest, AnUnreadableFileIsLeftUntouchedUntilSettingsAreMade)
{
    makeManager();

    for (const auto makeSettings : { false, true })
        for (const auto& hostile : hostileFiles())
        {
            SCOPED_TRACE (std::string (hostile.what) + (makeSettings ? ", settings made" : ", no settings made"));
            ASSERT_NO_FATAL_FAILURE (writeBytes (settingsFile(), hostile.bytes));

            pedal.plugIn();
            manager->scanForDevices();
            ASSERT_EQ (manager->getNumDevices(), 1);
            EXPECT_EQ (driver().getSettingsTree().getNumProperties(), 0);
            EXPECT_EQ (driver().getSettings().blockSize.get(), 0);
            if (makeSettings)
                driver().getSettings().blockSize.setValue (512, nullptr);

            withdrawAndScan();
            ASSERT_EQ (manager->getNumDevices(), 0);

            if (! makeSettings)
            {
                EXPECT_TRUE (settingsFile().existsAsFile());
                EXPECT_TRUE (readBytes (settingsFile()) == hostile.bytes);
                continue;
            }

            EXPECT_EQ (readXmlText (settingsFile()), "<DEVICE blockSize=\"512\"/>");
        }
}

TEST_F (DeviceDiscoveryTest, DestructionSavesEveryPedalWithoutReportingRemovals)
{
    EmulatedPedal other (ports, audioTypes, "QZR-0003", 0x23);
    ASSERT_NO_FATAL_FAILURE (writeBytes (settingsFile ("QZR-0003"), blockSize256));
    pedal.plugIn();
    other.plugIn();
    makeManager().scanForDevices();
    ASSERT_EQ (manager->getNumDevices(), 2);

    manager->findDevice (pedalName)->getDriver().getSettings().outAdjust.setValue (2, nullptr);
    manager->findDevice ("QZR-0003")->getDriver().getSettingsTree().removeAllProperties (nullptr);
    events.clear();
    manager.reset();

    EXPECT_TRUE (events.empty());
    EXPECT_EQ (readXmlText (settingsFile()), "<DEVICE outAdjust=\"2\"/>");
    expectWrittenFormat (settingsFile());
    EXPECT_FALSE (settingsFile ("QZR-0003").exists());
}

//==============================================================================
TEST_F (DeviceDiscoveryTest, BootloadersNeedNoAudioAndTheirOwnNameComesFirst)
{
    EmulatedPedal other (ports, audioTypes, "QZR-0004", 0x24);
    other.publishBootloader ("USB MIDI Bootloader");
    pedal.publishBootloader ("Port 1 QZR MIDI Bootloader 2");

    BootManager boot;
    boot.addListener (&log);
    boot.scanForDevices();

    EXPECT_EQ (events, (Events { "added USB MIDI Bootloader", "added QZR MIDI Bootloader" }));
    EXPECT_EQ (namesOf (boot), (Events { "QZR MIDI Bootloader", "USB MIDI Bootloader" }));

    events.clear();
    pedal.withdrawBootloader();
    boot.scanForDevices();
    EXPECT_EQ (events, (Events { "removed QZR MIDI Bootloader" }));
    EXPECT_EQ (namesOf (boot), (Events { "USB MIDI Bootloader" }));

    other.withdrawBootloader();
    boot.scanForDevices();
    EXPECT_EQ (boot.getNumDevices(), 0);
    boot.removeListener (&log);
}
