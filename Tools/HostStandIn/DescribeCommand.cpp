#include "Commands.h"
#include "LoadedPlugin.h"

#include <cstdio>
#include <functional>
#include <iostream>

namespace
{
std::string formatVersion (int32_t version)
{
    return std::to_string ((version >> 16) & 0xff) + "." + std::to_string ((version >> 8) & 0xff)
         + "." + std::to_string (version & 0xff);
}

std::string flagsText (uint32_t flags)
{
    static const std::pair<uint32_t, const char*> names[] = {
        { KAU_ParamFlagReadable, "readable" },
        { KAU_ParamFlagWritable, "writable" },
        { KAU_ParamFlagGlobalMeta, "global-meta" },
        { KAU_ParamFlagRampable, "rampable" },
        { KAU_ParamFlagHasText, "has-text" }
    };

    std::string text;
    uint32_t known = 0;

    for (auto& [bit, name] : names)
    {
        known |= bit;

        if ((flags & bit) != 0)
            text += (text.empty() ? "" : ",") + std::string (name);
    }

    if ((flags & ~known) != 0)
    {
        char unknown[32];
        std::snprintf (unknown, sizeof (unknown), "0x%x", (unsigned) (flags & ~known));
        text += (text.empty() ? "" : ",") + std::string (unknown);
    }

    return text.empty() ? "none" : text;
}

const char* unitText (int32_t unit)
{
    switch (unit)
    {
        case KAU_UnitGeneric: return "generic";
        case KAU_UnitIndexed: return "indexed";
        case KAU_UnitBoolean: return "boolean";
        default:              return "unknown";
    }
}

const char* yesNo (bool b) { return b ? "yes" : "no"; }

void describeBuses (const char* label, int32_t count, const std::function<std::string (int32_t)>& name,
                    const std::function<int32_t (int32_t)>& channels)
{
    std::cout << label << " buses: " << count << '\n';

    for (int32_t bus = 0; bus < count; ++bus)
        std::cout << "  [" << bus << "] \"" << name (bus) << "\" " << channels (bus) << " channels\n";
}
} // namespace

int describeCommand (const Arguments& args)
{
    if (args.size() != 1)
        throw UsageError ("describe needs exactly one BUNDLE");

    const LoadedPlugin loaded (args[0]);
    auto& plugin = loaded.instance();

    std::cout << "name: " << plugin.name() << '\n'
              << "version: " << formatVersion (plugin.version()) << '\n';

    describeBuses ("input", plugin.inputBusCount(),
                   [&] (int32_t bus) { return plugin.inputBusName (bus); },
                   [&] (int32_t bus) { return plugin.inputChannels (bus); });
    describeBuses ("output", plugin.outputBusCount(),
                   [&] (int32_t bus) { return plugin.outputBusName (bus); },
                   [&] (int32_t bus) { return plugin.outputChannels (bus); });

    std::cout << "midi in: " << yesNo (plugin.acceptsMidi()) << '\n'
              << "midi out: " << yesNo (plugin.producesMidi()) << '\n'
              << "editor: " << yesNo (plugin.hasEditor()) << '\n';

    // Tail and latency are only meaningful at a rate, so ask while prepared.
    requireOk (plugin.prepare (defaultSampleRate, defaultBlockFrames), "prepare");
    std::cout << "tail: " << plugin.tailSamples() << " samples at " << formatNumber (defaultSampleRate) << " Hz\n"
              << "latency: " << plugin.latencySamples() << " samples at " << formatNumber (defaultSampleRate) << " Hz\n";
    requireOk (plugin.unprepare(), "unprepare");

    const int32_t parameters = plugin.parameterCount();
    std::cout << "parameters: " << parameters << '\n';

    for (int32_t i = 0; i < parameters; ++i)
    {
        auto info = plugin.parameterInfo (i);
        std::cout << "  [" << i << "] " << info.identifier << " \"" << info.name << "\""
                  << " range " << formatNumber (info.minValue) << " .. " << formatNumber (info.maxValue)
                  << " default " << formatNumber (info.defaultValue)
                  << " steps " << info.numSteps
                  << " unit " << unitText (info.unit)
                  << " flags " << flagsText (info.flags) << '\n'
                  << "      texts: min \"" << plugin.valueToText (i, info.minValue) << "\""
                  << " default \"" << plugin.valueToText (i, info.defaultValue) << "\""
                  << " max \"" << plugin.valueToText (i, info.maxValue) << "\"\n";
    }

    const int32_t programs = plugin.programCount();
    const int32_t current = programs > 0 ? plugin.currentProgram() : -1;
    std::cout << "programs: " << programs << '\n';

    for (int32_t i = 0; i < programs; ++i)
        std::cout << "  [" << i << "] \"" << plugin.programName (i) << "\"" << (i == current ? " (current)" : "") << '\n';

    if (programs > 0)
        std::cout << "current program: " << current << '\n';

    return 0;
}
