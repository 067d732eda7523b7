#pragma once

#include "PlatformServices/PlatformServices.h"
#include "Support/ScratchFolder.h"

#include <string>
#include <vector>

// Stands in for the desktop while it lives: web pages and revealed files are
// recorded as lines ("open <address>", "reveal <path>"), and the Desktop and
// the host application's folder are temporary folders of its own.
class DesktopRecorder : public PlatformServices
{
public:
    DesktopRecorder()
    {
        desktop.folder.createDirectory();
        hostFolder.folder.createDirectory();
    }

    bool revealInFileManager (const juce::File& file) override
    {
        calls.push_back ("reveal " + file.getFullPathName().toStdString());
        return true;
    }

    juce::File getDesktopFolder() override { return desktop.folder; }
    juce::File getHostApplicationFolder() override { return hostFolder.folder; }

    std::vector<std::string> calls;
    ScratchFolder desktop, hostFolder;

protected:
    bool launchWebPage (const juce::String& address) override
    {
        calls.push_back ("open " + address.toStdString());
        return true;
    }

private:
    ScopedOverride installed { *this };
};
