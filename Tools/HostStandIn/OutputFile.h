#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A file the host stand-in writes for a user, put in place only when whole, so
// that a write that fails (a full disk, a file size limit) leaves what was
// there before. The bytes go to a new file beside the target, in its folder,
// are flushed to the disk and checked, and only then renamed over the target,
// which is atomic within a folder. An existing symbolic link is written
// through, and an existing file's permissions are kept.
//
// A command that writes several files makes an OutputFile of each before it
// puts any in place, so that one that cannot be written replaces none.
class OutputFile
{
public:
    // Writes the new file; throws std::runtime_error, naming the path and
    // why, when it cannot, and leaves nothing behind.
    OutputFile (const std::string& path, const std::vector<uint8_t>& bytes);

    // Removes the new file unless it was put in place.
    ~OutputFile();

    OutputFile (const OutputFile&) = delete;
    OutputFile& operator= (const OutputFile&) = delete;

    // Renames the new file over the target; returns the path as given, made
    // absolute. Throws std::runtime_error when it cannot, leaving the target as it was.
    std::string putInPlace();

private:
    std::string path;       // as the user named it
    std::string target;     // what is replaced: the path, or the file an existing link leads to
    std::string temporary;  // the new file, until it is put in place
};

// One file written whole; returns its absolute path.
std::string writeWholeFile (const std::string& path, const std::vector<uint8_t>& bytes);
