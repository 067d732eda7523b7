#pragma once

#include <juce_core/juce_core.h>

#include <filesystem>
#include <fstream>
#include <string>

// A fresh folder of its own under the system's temporary folder, unique across
// test programs that run side by side; removed with whatever it holds, whatever
// the names (the framework's folder walk must never meet one that is not UTF-8).
class ScratchFolder
{
public:
    ScratchFolder() { folder.createDirectory(); }
    ~ScratchFolder() { remove (folder); }

    static void remove (const juce::File& target)
    {
        std::error_code ignored;
        std::filesystem::remove_all (target.getFullPathName().toStdString(), ignored);
    }

    // Writes raw bytes under a raw name (which need not be UTF-8), making missing folders.
    static void write (const juce::File& parent, const std::string& name, const std::string& bytes)
    {
        const auto path = std::filesystem::path (parent.getFullPathName().toStdString()) / name;
        std::filesystem::create_directories (path.parent_path());
        std::ofstream (path, std::ios::binary) << bytes;
    }

    void write (const std::string& name, const std::string& bytes) const { write (folder, name, bytes); }

    // The folder's path, ending in a separator.
    juce::String path() const { return folder.getFullPathName() + "/"; }

    const juce::File folder { juce::File (juce::SystemStats::getEnvironmentVariable ("TMPDIR", "/tmp"))
                                  .getChildFile ("pellion-scratch-" + juce::Uuid().toString()) };
};
