#include "Components/Dialogs/ProToolsSetupComponent.h"
#include "Support/DesktopRecorder.h"
#include "Support/DialogRig.h"
#include "Windows/AlertManager.h"

#include <gtest/gtest.h>
#include <tuple>

namespace
{
using SetupDialog = ProToolsSetupComponent;

const std::string boot = "QZR MIDI Bootloader";
const std::string step1 = "Before you can use this pedal\nyou must tell Pro Tools to ignore the\npedal's MIDI interfaces by adding two lines\n\n"
                          "QZR-1A2B\nQZR MIDI Bootloader\n\nto file ExcludedMIDIPorts.txt\nin the Pro Tools program directory.\n\n"
                          "Do you want help to do this? | Cancel (0) Continue (1)";
const std::string step2 = "The next step will write file\n\nExcludedMIDIPorts.txt\n\nto your Desktop and open two\nFile Explorer windows.\n"
                          "This will allow you review the file\nand then copy it into the\nPro Tools program directory. | Cancel (0) Continue (1)";
const std::string step3 = "Please review the file\n\nExcludedMIDIPorts.txt\n\nthen copy it into the\nPro Tools program directory. | Cancel (0)";

// The set-up dialog as the editor opens it, with a recorded desktop whose
// Desktop and host folders are temporary.
struct ProToolsSetupTest : ::testing::Test
{
    SetupDialog& open()
    {
        EXPECT_TRUE (manager.alert_setupProTools ("QZR-1A2B"));
        return *dynamic_cast<SetupDialog*> (manager.alert.box.get());
    }

    static std::string shows (SetupDialog& dialog) { return describe (dialog).substr (std::string ("Pro Tools Setup | ").size()); }

    SetupDialog& openAndContinueTwice()
    {
        auto& dialog = open();
        EXPECT_EQ (describe (dialog), "Pro Tools Setup | " + step1);
        click (*findButton (dialog, "Continue"));
        EXPECT_EQ (shows (dialog), step2);
        EXPECT_TRUE (desktop.calls.empty());
        click (*findButton (dialog, "Continue"));
        return dialog;
    }

    void writeHostFile (const std::string& bytes) const { ScratchFolder::write (desktop.hostFolder.folder, "ExcludedMIDIPorts.txt", bytes); }
    juce::File desktopCopy() const { return desktop.desktop.folder.getChildFile ("ExcludedMIDIPorts.txt"); }

    DesktopRecorder desktop;
    PedalHolder holder;
    DialogParent parent;
    AlertManager manager { holder, parent };
};
} // namespace

TEST_F (ProToolsSetupTest, TheSecondContinueWritesTheMergedListToTheDesktopAndShowsBothPlacesOnce)
{
    const std::pair<std::string, std::string> cases[] = {
        { "A\r\n\r\n  \r\nB\r\n", "A\r\nB\r\nQZR-1A2B\r\n" + boot },
        { "", "QZR-1A2B\r\n" + boot }, // no file beside the host
        { "QZR-1A2B\n" + boot + "\n", "QZR-1A2B\r\n" + boot },
        { "qzr midi bootloader\n" + boot + " \n", "qzr midi bootloader\r\n" + boot + " \r\nQZR-1A2B\r\n" + boot },
    };

    for (const auto& [hostFile, written] : cases)
    {
        SCOPED_TRACE (hostFile);
        desktop.hostFolder.folder.getChildFile ("ExcludedMIDIPorts.txt").deleteFile();
        if (! hostFile.empty())
            writeHostFile (hostFile);
        ScratchFolder::write (desktop.desktop.folder, "ExcludedMIDIPorts.txt", "an older copy");
        desktop.calls.clear();

        auto& dialog = openAndContinueTwice();
        juce::MemoryBlock bytes;
        ASSERT_TRUE (desktopCopy().loadFileAsData (bytes));
        EXPECT_EQ (bytes.toString().toStdString(), written);
        EXPECT_EQ (desktop.desktop.folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories, "*"), 1) << "no temporary file left";
        EXPECT_EQ (desktop.calls, (std::vector<std::string> { "reveal " + desktop.hostFolder.folder.getFullPathName().toStdString(),
                                                               "reveal " + desktopCopy().getFullPathName().toStdString() }));
        EXPECT_EQ (shows (dialog), step3);
        EXPECT_EQ (dialog.getTimerInterval (SetupDialog::pollTimerId), 250);
    }
}

TEST_F (ProToolsSetupTest, CompleteShowsOnceTheHostsFileListsBothNamesAndCancelClosesAnyStep)
{
    auto& dialog = openAndContinueTwice();
    saveSnapshot (dialog, "setup-step3");

    for (const auto& listed : { std::string ("QZR-1A2B\r\n"), "QZR-1A2B\r\n" + boot + " \r\nqzr midi bootloader", boot })
    {
        writeHostFile (listed);
        dialog.timerCallback (SetupDialog::pollTimerId);
        EXPECT_EQ (shows (dialog), step3) << listed;
    }

    writeHostFile ("Other\nQZR-1A2B\n" + boot + "\n");
    dialog.timerCallback (SetupDialog::pollTimerId);
    EXPECT_EQ (shows (dialog), "Complete!\n\nPlease restart Pro Tools for\nthe change to take effect |");
    EXPECT_FALSE (dialog.isTimerRunning (SetupDialog::pollTimerId));
    EXPECT_FALSE (SetupDialog::isDeviceExcluded ("QZR-FFFF"));
    saveSnapshot (dialog, "setup-complete");

    // Cancel in each step, the third one polling a list without the pedal's
    // names: a list with them would end that step on its own after 250 ms,
    // taking the Cancel button with it, whenever the machine is slow enough.
    writeHostFile ("Other\n");
    for (int continues = 0; continues < 3; ++continues)
    {
        auto& shown = open();
        for (int i = 0; i < continues; ++i)
            click (*findButton (shown, "Continue"));
        saveSnapshot (shown, "setup-step" + juce::String (continues + 1));
        click (*findButton (shown, "Cancel"));
        EXPECT_FALSE (manager.alert.isShowing()) << continues;
    }
}

TEST_F (ProToolsSetupTest, ACopyThatCannotBeMadeIsReportedAndNeverEndsInComplete)
{
    const std::tuple<std::function<void()>, std::string, const char*> cases[] = {
        { [this] { ScratchFolder::remove (desktop.desktop.folder); },
          "Unable to write file\n\nExcludedMIDIPorts.txt\n\nto your Desktop.\nPlease add the two lines\n\nQZR-1A2B\n" + boot
              + "\n\nto the file in the\nPro Tools program directory yourself.",
          "setup-not-written" },
        { [this] { writeHostFile (std::string (2u << 20, 'A')); }, // too long to read whole
          "Unable to read file\n\nExcludedMIDIPorts.txt\n\nin the Pro Tools program directory.\nPlease add the two lines\n\nQZR-1A2B\n"
              + boot + "\n\nto that file yourself.",
          "setup-not-read" },
    };

    for (const auto& [spoil, message, picture] : cases)
    {
        spoil();
        auto& dialog = openAndContinueTwice();
        EXPECT_EQ (shows (dialog), message + " | Cancel (0)");
        EXPECT_FALSE (desktopCopy().exists());
        EXPECT_TRUE (desktop.calls.empty());
        EXPECT_FALSE (dialog.isTimerRunning (SetupDialog::pollTimerId));
        saveSnapshot (dialog, picture);

        desktop.desktop.folder.createDirectory();
        writeHostFile ("");
    }
}
