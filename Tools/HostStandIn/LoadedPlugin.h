#pragma once

#include "PluginBundle.h"
#include "PluginInstance.h"

#include <memory>
#include <string>

// Audio channels as the commands render them: one in-place buffer holding all
// input buses' channels in bus order, with the outputs in the first channels.
struct ChannelLayout
{
    int inputs = 0;
    int outputs = 0;
    int buffer() const { return inputs > outputs ? inputs : outputs; }
};

// The plug-in as the commands drive it: its bundle, one instance, and the
// parameter lookups they share. Every failure throws with a message a user can act on.
class LoadedPlugin
{
public:
    explicit LoadedPlugin (const std::string& bundlePath);

    PluginInstance& instance() const noexcept { return *plugin; }

    int32_t parameterCount() const noexcept { return (int32_t) identifiers.size(); }
    int32_t parameterIndex (const std::string& identifier) const;
    const std::string& identifier (int32_t index) const;

    // A number in host units, or else a text the parameter shows for one of its values.
    float valueOf (int32_t index, const std::string& text) const;
    // Only a text the parameter shows: any other would silently read as some value.
    float valueOfText (int32_t index, const std::string& text) const;
    // Sets a parameter to a value in host units. One outside the parameter's
    // range is set to the nearest end, which a warning on stderr names.
    void setParameter (int32_t index, float value) const;

    // The parameter's value and its text, e.g. "1 (On)".
    std::string valueWithText (int32_t index) const;

    ChannelLayout channelLayout() const;

    // Restores a state saved to a file; throws, saying why, unless the plug-in took it.
    void restoreState (const std::string& path) const;

    // Chooses a program; one that does not exist is refused with the list of those that do.
    void selectProgram (int32_t index) const;

private:
    // The bundle is declared first so that it outlives the instance.
    std::unique_ptr<PluginBundle> bundle;
    std::unique_ptr<PluginInstance> plugin;
    std::vector<std::string> identifiers;
};
