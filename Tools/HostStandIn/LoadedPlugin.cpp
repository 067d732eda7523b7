#include "LoadedPlugin.h"

#include "CommandLine.h"
#include "StateFile.h"

#include <filesystem>
#include <iostream>

LoadedPlugin::LoadedPlugin (const std::string& bundlePath)
{
    if (! std::filesystem::is_regular_file (bundlePath))
        throw std::runtime_error ("bundle not found: " + bundlePath);

    bundle = std::make_unique<PluginBundle> (bundlePath);

    if (! bundle->isLoaded())
        throw std::runtime_error (bundle->error());

    std::string error;
    plugin = PluginInstance::create (*bundle, error);

    if (plugin == nullptr)
        throw std::runtime_error (error);

    for (int32_t i = 0; i < plugin->parameterCount(); ++i)
        identifiers.push_back (plugin->parameterInfo (i).identifier);
}

int32_t LoadedPlugin::parameterIndex (const std::string& id) const
{
    for (size_t i = 0; i < identifiers.size(); ++i)
        if (identifiers[i] == id)
            return (int32_t) i;

    throw std::runtime_error ("no parameter with identifier '" + id + "'");
}

const std::string& LoadedPlugin::identifier (int32_t index) const
{
    return identifiers.at ((size_t) index);
}

float LoadedPlugin::valueOf (int32_t index, const std::string& text) const
{
    double number = 0;

    if (parseDouble (text, number))
        return (float) number;

    return valueOfText (index, text);
}

float LoadedPlugin::valueOfText (int32_t index, const std::string& text) const
{
    // The plug-in reads any text as some value; only one it would show itself
    // for that value is what the user meant.
    const auto value = plugin->textToValue (index, text);

    if (value.has_value() && plugin->valueToText (index, *value) == text)
        return *value;

    const auto info = plugin->parameterInfo (index);
    throw std::runtime_error ("'" + text + "' is neither a number nor a text of " + identifier (index)
                              + ", which shows values from '" + plugin->valueToText (index, info.minValue)
                              + "' to '" + plugin->valueToText (index, info.maxValue) + "'");
}

void LoadedPlugin::setParameter (int32_t index, float value) const
{
    requireOk (plugin->setParameter (index, value), "setting " + identifier (index));
    const auto info = plugin->parameterInfo (index);

    if (value < info.minValue || value > info.maxValue)
        std::cerr << "warning: " << identifier (index) << " = " << formatNumber (value) << " is outside its range "
                  << formatNumber (info.minValue) << " .. " << formatNumber (info.maxValue) << "; it was set to "
                  << valueWithText (index) << '\n';
}

std::string LoadedPlugin::valueWithText (int32_t index) const
{
    const auto value = plugin->getParameter (index);
    return formatNumber (value) + " (" + plugin->valueToText (index, value) + ")";
}

ChannelLayout LoadedPlugin::channelLayout() const
{
    ChannelLayout layout;

    for (int32_t bus = 0; bus < plugin->inputBusCount(); ++bus)
        layout.inputs += plugin->inputChannels (bus);

    for (int32_t bus = 0; bus < plugin->outputBusCount(); ++bus)
        layout.outputs += plugin->outputChannels (bus);

    if (layout.buffer() <= 0)
        throw std::runtime_error ("the plug-in has no audio channels");

    return layout;
}

void LoadedPlugin::restoreState (const std::string& path) const
{
    const auto result = plugin->setState (readStateFile (path));

    if (result == KAU_ErrInvalidArgument)
        throw PluginError ("the plug-in did not take the state in " + path + " (" + resultName (result)
                               + "); nothing was restored", result);

    requireOk (result, "restoring the state from " + path);
}

void LoadedPlugin::selectProgram (int32_t index) const
{
    const auto count = plugin->programCount();

    if (index >= count)
    {
        std::string list;

        for (int32_t i = 0; i < count; ++i)
            list += (i > 0 ? ", " : "") + std::to_string (i) + " \"" + plugin->programName (i) + "\"";

        throw std::runtime_error ("there is no program " + std::to_string (index) + "; the plug-in has "
                                  + std::to_string (count) + (count == 1 ? " program: " : " programs: ") + list);
    }

    requireOk (plugin->setCurrentProgram (index), "program " + std::to_string (index));
}
