#include "Support/ScratchFolder.h"
#include "Utilities/DirectoryListing.h"
#include "Utilities/InputLimits.h"
#include "Utilities/SafeFileReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
std::vector<std::string> namesOf (const std::vector<DirectoryListing::Entry>& entries)
{
    std::vector<std::string> names;
    for (const auto& entry : entries)
        names.push_back (entry.name.toStdString());
    std::sort (names.begin(), names.end());
    return names;
}
} // namespace

TEST (SafeFileReader, ReadsOnlyRegularFilesWithinTheLimit)
{
    const ScratchFolder scratch;
    scratch.write ("small", "12345");
    const auto file = scratch.folder.getChildFile ("small");

    juce::MemoryBlock block;
    EXPECT_TRUE (SafeFileReader::read (file, block, 5));
    EXPECT_EQ (block.toString(), "12345");
    EXPECT_FALSE (SafeFileReader::read (file, block, 4));
    EXPECT_EQ (block.getSize(), 0u);

    EXPECT_FALSE (SafeFileReader::read (scratch.folder, block, 100));
    EXPECT_FALSE (SafeFileReader::read (scratch.folder.getChildFile ("missing"), block, 100));

    // Opening a pipe for reading would wait for a writer for good.
    const auto pipe = scratch.folder.getChildFile ("pipe");
    ASSERT_EQ (mkfifo (pipe.getFullPathName().toRawUTF8(), 0600), 0);
    EXPECT_FALSE (SafeFileReader::read (pipe, block, 100));
}

// The framework's folder walk makes a String of every name unchecked, and its
// UTF-8 decoder then overflows the heap on a Latin-1 "à".
TEST (DirectoryListing, ListsRegularFilesWhoseNamesAreUtf8AndMatch)
{
    const ScratchFolder scratch;
    for (const auto* name : { "a.zvk", "Caf\xc3\xa9.zvk", ".hidden.zvk", "~root.zvk", "b.ZVK", "notes.txt",
                              "Caf\xe0.zvk", "\xc3\x28.zvk", "\xe0\x80\xaf.zvk", "Folder.zvk/inner.zvk" })
        scratch.write (name, "{}");

    const auto path = scratch.path().toStdString();
    ASSERT_EQ (mkfifo ((path + "pipe.zvk").c_str(), 0600), 0);
    ASSERT_EQ (symlink ((path + "a.zvk").c_str(), (path + "link.zvk").c_str()), 0);
    ASSERT_EQ (symlink ((path + "gone").c_str(), (path + "dangling.zvk").c_str()), 0);
    ASSERT_TRUE (scratch.folder.getChildFile ("a.zvk").setLastModificationTime (juce::Time (1234567890000)));

    const auto entries = DirectoryListing::regularFiles (scratch.folder, "*.zvk");
    EXPECT_EQ (namesOf (entries), (std::vector<std::string> { ".hidden.zvk", "Caf\xc3\xa9.zvk", "a.zvk", "link.zvk", "~root.zvk" }));

    for (const auto& entry : entries)
    {
        EXPECT_EQ (entry.file.getParentDirectory(), scratch.folder) << entry.name;
        EXPECT_EQ (entry.file.getFileName(), entry.name);
        if (entry.name == "a.zvk")
        {
            EXPECT_EQ (entry.modified.toMilliseconds(), 1234567890000);
        }
    }

    EXPECT_TRUE (DirectoryListing::regularFiles (scratch.folder.getChildFile ("missing"), "*").empty());
    EXPECT_TRUE (DirectoryListing::regularFiles (juce::File(), "*").empty());
}

TEST (DirectoryListing, ListsNoMoreThanItsLimit)
{
    const ScratchFolder scratch;
    for (int i = 0; i <= InputLimits::listedFiles; ++i)
        scratch.write (std::to_string (i), {});

    EXPECT_EQ ((int) DirectoryListing::regularFiles (scratch.folder, "*").size(), InputLimits::listedFiles);
}
