#pragma once

#include "PlatformServices/PlatformServices.h"

// The desktop's own services. Pages and folders are handed to an opener
// program ("xdg-open" on Linux) as one argument of its argument vector: no
// shell ever reads them. The opener runs detached, so nothing waits for it.
class SystemPlatformServices : public PlatformServices
{
public:
    explicit SystemPlatformServices (const juce::String& openerProgram = "xdg-open");

    bool revealInFileManager (const juce::File& fileOrFolder) override;
    juce::File getDesktopFolder() override;
    juce::File getHostApplicationFolder() override;

    // Starts the program (found on the PATH unless given with a path) with these
    // arguments and does not wait for it. False when it cannot be started.
    static bool startDetached (const juce::String& program, const juce::StringArray& arguments);

protected:
    bool launchWebPage (const juce::String& address) override;

private:
    const juce::String opener;
};
