#include "Components/Dialogs/ProToolsSetupComponent.h"

#include "Components/Dialogs/ExcludedPortsList.h"
#include "PlatformServices/PlatformServices.h"
#include "Utilities/InputLimits.h"
#include "Utilities/SafeFileReader.h"

namespace
{
constexpr int writeBufferBytes = 16384;

// The file's bytes; empty when missing. False when it is there but cannot be read whole.
bool readList (const juce::File& file, std::string& text)
{
    text.clear();
    if (! file.exists())
        return true;

    juce::MemoryBlock bytes;
    if (! SafeFileReader::read (file, bytes, InputLimits::excludedPortsFileBytes))
        return false;

    text.assign (static_cast<const char*> (bytes.getData()), bytes.getSize());
    return true;
}

// The two lines the other host's list needs.
juce::String portLines (const juce::String& portName)
{
    return portName + "\n" + ExcludedPortsList::bootloaderPort;
}

juce::String explanation (const juce::String& portName)
{
    return "Before you can use this pedal\nyou must tell Pro Tools to ignore the\npedal's MIDI interfaces by adding two lines\n\n"
         + portLines (portName) + "\n\nto file ExcludedMIDIPorts.txt\nin the Pro Tools program directory.\n\nDo you want help to do this?";
}

const char* const whatHappensNext = "The next step will write file\n\nExcludedMIDIPorts.txt\n\nto your Desktop and open two\n"
                                    "File Explorer windows.\nThis will allow you review the file\nand then copy it into the\n"
                                    "Pro Tools program directory.";
const char* const reviewAndCopy = "Please review the file\n\nExcludedMIDIPorts.txt\n\nthen copy it into the\nPro Tools program directory.";
const char* const complete = "Complete!\n\nPlease restart Pro Tools for\nthe change to take effect";

juce::String notRead (const juce::String& portName)
{
    return "Unable to read file\n\nExcludedMIDIPorts.txt\n\nin the Pro Tools program directory.\nPlease add the two lines\n\n"
         + portLines (portName) + "\n\nto that file yourself.";
}

juce::String notWritten (const juce::String& portName)
{
    return "Unable to write file\n\nExcludedMIDIPorts.txt\n\nto your Desktop.\nPlease add the two lines\n\n" + portLines (portName)
         + "\n\nto the file in the\nPro Tools program directory yourself.";
}
} // namespace

ProToolsSetupComponent::ProToolsSetupComponent (const juce::String& name, std::function<void (int)> callbackToUse)
    : AlertBoxComponent ("Pro Tools Setup", {}, callbackToUse), setupCallback (std::move (callbackToUse)), portName (name)
{
    setMessage (explanation (portName));
    addButton ("Cancel", cancel);
    addButton ("Continue", proceed);
}

juce::File ProToolsSetupComponent::getExclusionFile()
{
    return PlatformServices::get().getHostApplicationFolder().getChildFile (ExcludedPortsList::fileName);
}

bool ProToolsSetupComponent::isDeviceExcluded (const juce::String& name)
{
    std::string text;
    readList (getExclusionFile(), text);
    return ExcludedPortsList::lists (text, name.toStdString());
}

void ProToolsSetupComponent::dismiss()
{
    AlertBoxComponent::dismiss();
    stopTimer (pollTimerId);
}

//==============================================================================
void ProToolsSetupComponent::buttonClicked (juce::Button* button)
{
    if (isDismissed())
        return;

    const auto result = button->getCommandID();
    if (result != proceed)
    {
        if (setupCallback)
            setupCallback (result);
        return;
    }

    const auto shown = step++;

    if (shown == 1)
    {
        setMessage (whatHappensNext);
    }
    else if (shown == 2)
    {
        const auto written = writeDesktopCopy();

        if (written == Written::ok)
        {
            auto& platform = PlatformServices::get();
            platform.revealInFileManager (platform.getHostApplicationFolder());
            platform.revealInFileManager (platform.getDesktopFolder().getChildFile (ExcludedPortsList::fileName));
            setMessage (reviewAndCopy);
            startTimer (pollTimerId, pollIntervalMs);
        }
        else
        {
            // Said as it is, and never followed by "Complete!".
            setMessage (written == Written::unreadable ? notRead (portName) : notWritten (portName));
        }

        deleteAllButtons();
        addButton ("Cancel", cancel);
    }

    updateLayout();
}

ProToolsSetupComponent::Written ProToolsSetupComponent::writeDesktopCopy() const
{
    // A list that cannot be read whole is not replaced by a shorter one.
    std::string existing;
    if (! readList (getExclusionFile(), existing))
        return Written::unreadable;

    const auto merged = ExcludedPortsList::merge (existing, portName.toStdString());
    const auto target = PlatformServices::get().getDesktopFolder().getChildFile (ExcludedPortsList::fileName);

    juce::TemporaryFile temporary (target, juce::TemporaryFile::useHiddenFile);
    {
        juce::FileOutputStream out (temporary.getFile(), writeBufferBytes);
        if (! out.openedOk() || ! out.write (merged.data(), merged.size()))
            return Written::unwritable;

        out.flush();
        if (out.getStatus().failed())
            return Written::unwritable;
    }

    return temporary.overwriteTargetFileWithTemporary() ? Written::ok : Written::unwritable;
}

void ProToolsSetupComponent::timerCallback (int timerId)
{
    if (timerId != pollTimerId)
        return;

    if (isDeviceExcluded (portName) && isDeviceExcluded (ExcludedPortsList::bootloaderPort))
    {
        setMessage (complete);
        deleteAllButtons();
        stopTimer (pollTimerId);
        updateLayout();
    }
}
