#pragma once

#include <juce_core/juce_core.h>

// What the editor asks of the desktop around it: a web page opened in the
// user's browser, a file shown in the file manager, and two folders. The
// system's own services ship; tests install a recorder in their place, so that
// no test ever starts a browser or a file manager.
class PlatformServices
{
public:
    virtual ~PlatformServices() = default;

    // Only an http or https address made of plain URL characters is opened
    // (see isWebAddress); anything else is refused. False when refused or when
    // nothing could be started.
    bool openWebPage (const juce::String& address);

    // Shows a folder, or the folder that holds a file, in the file manager.
    virtual bool revealInFileManager (const juce::File& fileOrFolder) = 0;

    virtual juce::File getDesktopFolder() = 0;

    // The folder that holds the host application.
    virtual juce::File getHostApplicationFolder() = 0;

    // Whether an address (often one that came from the network) may be opened:
    // the scheme http or https, a host, at most maxAddressLength characters, and
    // only letters, digits and - . _ ~ : / ? # [ ] @ & + , ; = %.
    static bool isWebAddress (const juce::String& address);
    static constexpr int maxAddressLength = 2048;

    // The services in use: the installed ones, else the system's.
    static PlatformServices& get();

    // Puts other services in place for its own lifetime. Message thread.
    class ScopedOverride
    {
    public:
        explicit ScopedOverride (PlatformServices& replacement);
        ~ScopedOverride();

    private:
        PlatformServices* previous;
        JUCE_DECLARE_NON_COPYABLE (ScopedOverride)
    };

protected:
    // Called with checked addresses only.
    virtual bool launchWebPage (const juce::String& address) = 0;
};
