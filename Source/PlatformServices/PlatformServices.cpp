#include "PlatformServices/PlatformServices.h"

#include "PlatformServices/SystemPlatformServices.h"

namespace
{
PlatformServices* installed = nullptr;

bool isAddressCharacter (juce::juce_wchar c)
{
    return (c < 0x80 && juce::CharacterFunctions::isLetterOrDigit (c))
        || juce::String ("-._~:/?#[]@&+,;=%").containsChar (c);
}
} // namespace

bool PlatformServices::openWebPage (const juce::String& address)
{
    return isWebAddress (address) && launchWebPage (address);
}

bool PlatformServices::isWebAddress (const juce::String& address)
{
    if (address.isEmpty() || address.length() > maxAddressLength)
        return false;

    for (auto p = address.getCharPointer(); ! p.isEmpty(); ++p)
        if (! isAddressCharacter (*p))
            return false;

    const auto lower = address.toLowerCase();
    const auto prefix = lower.startsWith ("https://") ? 8 : lower.startsWith ("http://") ? 7 : 0;
    if (prefix == 0)
        return false;

    // A host must follow the scheme: not a path, not an empty authority.
    const auto host = address.substring (prefix).upToFirstOccurrenceOf ("/", false, false)
                          .upToFirstOccurrenceOf ("?", false, false)
                          .upToFirstOccurrenceOf ("#", false, false)
                          .fromLastOccurrenceOf ("@", false, false);
    return host.isNotEmpty() && ! host.startsWithChar (':');
}

PlatformServices& PlatformServices::get()
{
    static SystemPlatformServices system;
    return installed != nullptr ? *installed : system;
}

PlatformServices::ScopedOverride::ScopedOverride (PlatformServices& replacement) : previous (installed)
{
    installed = &replacement;
}

PlatformServices::ScopedOverride::~ScopedOverride()
{
    installed = previous;
}
