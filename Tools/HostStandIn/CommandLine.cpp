#include "CommandLine.h"

#include "PluginInstance.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

bool parseDouble (const std::string& text, double& value)
{
    if (text.empty())
        return false;

    char* end = nullptr;
    errno = 0;
    value = std::strtod (text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite (value);
}

double requireNumber (const std::string& option, const std::string& text, double minimum, double maximum)
{
    double value = 0;

    if (! parseDouble (text, value) || value < minimum || value > maximum)
        throw UsageError (option + " needs a number from " + formatNumber (minimum) + " to " + formatNumber (maximum)
                          + ", not '" + text + "'");

    return value;
}

int requireWholeNumber (const std::string& option, const std::string& text, long minimum, long maximum)
{
    char* end = nullptr;
    errno = 0;
    const long value = text.empty() ? 0 : std::strtol (text.c_str(), &end, 10);

    if (text.empty() || errno != 0 || *end != '\0' || value < minimum || value > maximum)
        throw UsageError (option + " needs a whole number from " + std::to_string (minimum) + " to "
                          + std::to_string (maximum) + ", not '" + text + "'");

    return (int) value;
}

void requireWritableFile (const std::string& path, const std::string& ending)
{
    const auto lower = [] (std::string text)
    {
        std::transform (text.begin(), text.end(), text.begin(), [] (unsigned char c) { return (char) std::tolower (c); });
        return text;
    };

    if (! ending.empty() && (path.size() <= ending.size() || lower (path.substr (path.size() - ending.size())) != lower (ending)))
        throw UsageError ("'" + path + "' does not end in " + ending + ", the only kind of file written here");

    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path file (path);
    const auto folder = file.parent_path().empty() ? fs::path (".") : file.parent_path();

    if (fs::is_directory (file, error))
        throw std::runtime_error ("cannot write " + path + ": it is a folder");

    if (! fs::exists (folder, error))
        throw std::runtime_error ("cannot write " + path + ": there is no folder " + folder.string());

    if (! fs::is_directory (folder, error))
        throw std::runtime_error ("cannot write " + path + ": " + folder.string() + " is not a folder");

    if (access (folder.c_str(), W_OK) != 0)
        throw std::runtime_error ("cannot write " + path + ": the folder " + folder.string() + " is not writable");

    if (fs::exists (file, error) && ! fs::is_regular_file (file, error))
        throw std::runtime_error ("cannot write " + path + ": it is not a regular file (a device, a pipe or a socket)");

    if (fs::exists (file, error) && access (file.c_str(), W_OK) != 0)
        throw std::runtime_error ("cannot write " + path + ": the file is read-only");
}

void requireOk (int32_t result, const std::string& what)
{
    if (result != KAU_OK)
        throw PluginError (what + " failed: " + resultName (result) + " (" + std::to_string (result) + ")", result);
}

std::string formatNumber (double value)
{
    char text[64];

    // Whole numbers in full (a rate of 1000000, not 1e+06); others briefly.
    if (std::abs (value) < 1.0e15 && value == std::round (value))
        std::snprintf (text, sizeof (text), "%.0f", value);
    else
        std::snprintf (text, sizeof (text), "%g", value);

    return text;
}

std::string formatDb (double db)
{
    if (std::isnan (db))
        return "nan";

    if (std::isinf (db))
        return db < 0 ? "-inf" : "+inf";

    char text[64];
    std::snprintf (text, sizeof (text), "%.2f", db);
    return text;
}
