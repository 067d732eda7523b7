#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// What the commands of pellion-host share: their arguments, how they read
// numbers and how they print them.

using Arguments = std::vector<std::string>;

// A command line that cannot be run: reported with the usage.
struct UsageError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// The whole text is a finite number; nothing else.
bool parseDouble (const std::string& text, double& value);

// A number from minimum to maximum, or a UsageError that names the option.
double requireNumber (const std::string& option, const std::string& text, double minimum, double maximum);
int requireWholeNumber (const std::string& option, const std::string& text, long minimum, long maximum);

// A file a command is about to write: its folder exists and is writable, and
// the name is no folder's. Checked before any work, so that a typo costs no
// render. With an ending given, the name must have it (in any case): a
// UsageError names the file otherwise.
void requireWritableFile (const std::string& path, const std::string& ending = {});

// Throws, naming what failed and the plug-in's result, unless it is KAU_OK.
void requireOk (int32_t result, const std::string& what);

std::string formatNumber (double value);
std::string formatDb (double db);
