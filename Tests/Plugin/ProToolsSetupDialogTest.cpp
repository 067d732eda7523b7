#include "Components/Dialogs/ProToolsSetupComponent.h"
#include "Support/DesktopRecorder.h"
#include "Support/DialogRig.h"
#include "Windows/AlertManager.h"

#include <gtest/gtest.h>

namespace
{
const std::string boot = "QZR MIDI Bootloader";
const std::string step1 = "Before you can use this pedal\nyou must tell Pro Tools to ignore the\npedal's MIDI interfaces by adding two lines\n\n"
                          "QZR-1A2B\nQZR MIDI Bootloader\n\nto file ExcludedMIDIPorts.txt\nin the Pro Tools program directory.\n\n"
                          "Do you want help to do this?";
const std::string step2 = "The next step will write file\n\nExcludedMIDIPorts.txt\n\nto your Desktop and open two\nFile Explorer windows.\n"
                          "This will allow you review the file\nand then copy it into the\nPro Tools program directory.";
const std::string step3 = "Please review the file\n\nExcludedMIDIPorts.txt\n\nthen copy it into the\nPro Tools program directory.";
const std::string complete = "Complete!\n\nPlease restart Pro Tools for\nthe change to take effect";

struct ProToolsSetupTest : ::testing::Test
{
    ProToolsSetupComponent& open()
    {
        EXPECT_TRUE (manager.alert_setupProTools ("QZR-1A2B"));
        auto* dialog = dynamic_cast<ProToolsSetupComponent*> (manager.alert.box.get());
        EXPECT_NE (dialog, nullptr);
        return *dialog;
    }

    juce::File hostFile() const { return desktop.hostFolder.folder.getChildFile ("ExcludedMIDIPorts.txt"); }
    juce::File desktopCopy() const { return desktop.desktop.folder.getChildFile ("ExcludedMIDIPorts.txt"); }

    void writeHostFile (const std::string& bytes) const { ScratchFolder::write (desktop.hostFolder.folder, "ExcludedMIDIPorts.txt", bytes); }

    static std::string read (const juce::File& file)
    {
        juce::MemoryBlock bytes;
        file.loadFileAsData (bytes);
        return bytes.toString().toStdString();
    }

    std::string shows (ProToolsSetupComponent& dialog)
    {
        std::string text = dialog.getMessage().toStdString() + " |";
        for (const auto& [label, code] : buttonsOf (dialog))
            text += " " + label + " (" + std::to_string (code) + ")";
        return text;
    }

    // Both clicks on "Continue".
    void continueTwice (ProToolsSetupComponent& dialog)
    {
        click (*findButton (dialog, "Continue"));
        EXPECT_EQ (shows (dialog), step2 + " | Cancel (0) Continue (1)");
        click (*findButton (dialog, "Continue"));
    }

    DesktopRecorder desktop;
    PedalHolder holder;
    DialogParent parent;
    AlertManager manager { holder, parent };
};
} // namespace

TEST_F (ProToolsSetupTest, TheSecondContinueWritesTheMergedListToTheDesktopAndShowsBothPlacesOnce)
{
    const struct
    {
        const char* what;
        std::string hostFile; // empty: none
        std::string written;
    } cases[] = {
        { "blank lines among CR LF lines", "A\r\n\r\n  \r\nB\r\n", "A\r\nB\r\nQZR-1A2B\r\n" + boot },
        { "no file beside the host", "", "QZR-1A2B\r\n" + boot },
        { "both names already listed", "QZR-1A2B\n" + boot + "\n", "QZR-1A2B\r\n" + boot },
        { "names that only look alike", "qzr midi bootloader\n" + boot + " \n", "qzr midi bootloader\r\n" + boot + " \r\nQZR-1A2B\r\n" + boot },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        hostFile().deleteFile();
        if (! c.hostFile.empty())
            writeHostFile (c.hostFile);
        ScratchFolder::write (desktop.desktop.folder, "ExcludedMIDIPorts.txt", "an older copy");
        desktop.calls.clear();

        auto& dialog = open();
        EXPECT_EQ (dialog.getTitleLabel().getText(), "Pro Tools Setup");
        EXPECT_EQ (shows (dialog), step1 + " | Cancel (0) Continue (1)");
        EXPECT_TRUE (desktop.calls.empty());

        continueTwice (dialog);
        EXPECT_EQ (read (desktopCopy()), c.written);
        EXPECT_EQ (desktop.desktop.folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles, "*"), 1);
        EXPECT_EQ (desktop.desktop.folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories, "*"), 1) << "no temporary file left";
        EXPECT_EQ (desktop.calls, (std::vector<std::string> { "reveal " + desktop.hostFolder.folder.getFullPathName().toStdString(),
                                                               "reveal " + desktopCopy().getFullPathName().toStdString() }));
        EXPECT_EQ (shows (dialog), step3 + " | Cancel (0)");
        EXPECT_TRUE (dialog.isTimerRunning (ProToolsSetupComponent::pollTimerId));
        EXPECT_EQ (dialog.getTimerInterval (ProToolsSetupComponent::pollTimerId), 250);
        EXPECT_EQ (desktop.calls.size(), 2u);
    }
}

TEST_F (ProToolsSetupTest, CompleteShowsOnceTheHostsFileListsBothNames)
{
    auto& dialog = open();
    saveSnapshot (dialog, "setup-step1");
    continueTwice (dialog);
    saveSnapshot (dialog, "setup-step3");

    for (const auto& listed : { std::string ("QZR-1A2B\r\n"), "QZR-1A2B\r\n" + boot + " \r\nqzr midi bootloader", boot })
    {
        writeHostFile (listed);
        dialog.timerCallback (ProToolsSetupComponent::pollTimerId);
        EXPECT_EQ (shows (dialog), step3 + " | Cancel (0)") << listed;
    }

    writeHostFile ("Other\nQZR-1A2B\n" + boot + "\n");
    dialog.timerCallback (ProToolsSetupComponent::pollTimerId);
    EXPECT_EQ (shows (dialog), complete + " |");
    EXPECT_FALSE (dialog.isTimerRunning (ProToolsSetupComponent::pollTimerId));
    EXPECT_TRUE (ProToolsSetupComponent::isDeviceExcluded ("QZR-1A2B"));
    EXPECT_FALSE (ProToolsSetupComponent::isDeviceExcluded ("QZR-FFFF"));
    saveSnapshot (dialog, "setup-complete");
}

TEST_F (ProToolsSetupTest, CancelInAnyStepCloses)
{
    for (int continues = 0; continues < 3; ++continues)
    {
        auto& dialog = open();
        for (int i = 0; i < continues; ++i)
            click (*findButton (dialog, "Continue"));
        click (*findButton (dialog, "Cancel"));
        EXPECT_FALSE (manager.alert.isShowing()) << continues;
    }
}

TEST_F (ProToolsSetupTest, ACopyThatCannotBeMadeIsReportedAndNeverEndsInComplete)
{
    const struct
    {
        const char* what;
        std::function<void()> spoil;
        std::string message;
    } cases[] = {
        { "no Desktop folder", [this] { ScratchFolder::remove (desktop.desktop.folder); },
          "Unable to write file\n\nExcludedMIDIPorts.txt\n\nto your Desktop.\nPlease add the two lines to the file\n"
          "in the Pro Tools program directory yourself." },
        { "the host's list cannot be read whole", [this] { writeHostFile (std::string (2u << 20, 'A')); },
          "Unable to read file\n\nExcludedMIDIPorts.txt\n\nin the Pro Tools program directory.\nPlease add the two lines\n"
          "to that file yourself." },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        desktop.calls.clear();
        c.spoil();

        auto& dialog = open();
        continueTwice (dialog);
        EXPECT_EQ (shows (dialog), c.message + " | Cancel (0)");
        EXPECT_FALSE (desktopCopy().exists());
        EXPECT_TRUE (desktop.calls.empty());
        EXPECT_FALSE (dialog.isTimerRunning (ProToolsSetupComponent::pollTimerId));
        saveSnapshot (dialog, "setup-failed");

        desktop.desktop.folder.createDirectory();
        hostFile().deleteFile();
    }
}
