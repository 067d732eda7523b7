#pragma once

#include "LoadedPlugin.h"

#include <ostream>

// Prints the plug-in's notifications received so far, one line each.
class EventPrinter
{
public:
    EventPrinter (const LoadedPlugin& plugin, std::ostream& out) : plugin (plugin), out (out) {}

    void flush();

private:
    const LoadedPlugin& plugin;
    std::ostream& out;
};
