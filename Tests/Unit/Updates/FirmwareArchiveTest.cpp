#include "Devices/FirmwareImage.h"
#include "Support/HostileFirmware.h"
#include "Updates/FirmwareArchive.h"
#include "Utilities/InputLimits.h"

#include <gtest/gtest.h>

namespace
{
using Outcome = FirmwareArchive::Outcome;
using Entries = std::vector<std::pair<juce::String, std::string>>;

const std::string firmware = "\xF0\x00\x5A\x3D\x01\xF7";

struct ArchiveCase
{
    const char* what;
    Entries entries;
    Outcome outcome;
};

const ArchiveCase archiveCases[] = {
    { "one entry among others, in a folder, in capitals", { { "readme.txt", "hello" }, { "FW/Pedal.SYX", firmware } }, Outcome::extracted },
    { "one entry alone", { { "pedal.syx", firmware } }, Outcome::extracted },
    { "no entry", { { "readme.txt", "hello" } }, Outcome::archiveNotValid },
    { "an empty archive", {}, Outcome::archiveNotValid },
    { "two entries", { { "a.syx", firmware }, { "b.Syx", firmware } }, Outcome::archiveNotValid },
    { "two entries, one of them empty", { { "a.syx", firmware }, { "b.syx", "" } }, Outcome::archiveNotValid },
    { "the entry is empty", { { "a.syx", "" } }, Outcome::contentNotValid },
    { "a name that only contains the extension", { { "a.syx.txt", firmware } }, Outcome::archiveNotValid },
    { "the entry exactly at the size limit", { { "a.syx", std::string (InputLimits::firmwareFileBytes, '\x01') } }, Outcome::extracted },
    { "the entry inflates past the size limit", { { "a.syx", std::string (InputLimits::firmwareFileBytes + 1, '\x01') } }, Outcome::contentNotValid },
};

TEST (FirmwareArchive, TakesExactlyOneNonEmptySyxEntry)
{
    for (const auto& c : archiveCases)
    {
        SCOPED_TRACE (c.what);
        const auto zip = makeZip (c.entries);
        juce::MemoryBlock file ("stale", 5);

        EXPECT_EQ (FirmwareArchive::extractUpdateFile (zip.getData(), zip.getSize(), file), c.outcome);

        if (c.outcome == Outcome::extracted)
        {
            for (const auto& [name, content] : c.entries)
            {
                if (name.toLowerCase().endsWith (".syx"))
                {
                    EXPECT_EQ (toString (file), content);
                }
            }
        }
        else
        {
            EXPECT_EQ (file.getSize(), 0u);
        }
    }
}

TEST (FirmwareArchive, AnEntryIsTakenOnlyWhenEveryRecordOfItAgreesWithItsData)
{
    const auto firmware = toString (FirmwareImage::getPayload());

    for (const auto& c : HostileFirmware::archives (firmware))
    {
        SCOPED_TRACE (c.what);
        juce::MemoryBlock file ("stale", 5);
        EXPECT_EQ (FirmwareArchive::extractUpdateFile (c.archive.data(), c.archive.size(), file), c.outcome);

        if (c.outcome != Outcome::extracted)
            EXPECT_EQ (file.getSize(), 0u);
        else if (c.status == "Download complete")
            EXPECT_EQ (toString (file), firmware);
        else
            EXPECT_EQ (toString (file), HostileFirmware::join (HostileFirmware::messagesOf (firmware), 493)) << "half, as declared";
    }
}

TEST (FirmwareArchive, BytesThatAreNoArchiveOrACutArchiveAreNotValid)
{
    const auto zip = makeZip ({ { "a.syx", firmware } }, 0);
    const std::vector<std::string> inputs = {
        "", "PK", std::string (4096, '\0'), firmware,
        toString (zip).substr (0, zip.getSize() - 30), // the directory at its end is gone
    };

    for (const auto& bytes : inputs)
    {
        juce::MemoryBlock file;
        EXPECT_EQ (FirmwareArchive::extractUpdateFile (bytes.data(), bytes.size(), file), Outcome::archiveNotValid)
            << bytes.size();
        EXPECT_EQ (file.getSize(), 0u);
    }
}

TEST (FirmwareArchive, AnEntryNameThatIsNotUtf8IsRefusedBeforeTheReaderDecodesIt)
{
    // "a" + broken sequence + ".syx": the framework would overrun its copy of such a name.
    auto bytes = toString (makeZip ({ { "aXY.syx", firmware } }));
    for (size_t at = bytes.find ("aXY"); at != std::string::npos; at = bytes.find ("aXY", at))
        bytes.replace (at, 3, "a\xE0\x41");

    juce::MemoryBlock file;
    EXPECT_EQ (FirmwareArchive::extractUpdateFile (bytes.data(), bytes.size(), file), Outcome::archiveNotValid);
}
} // namespace
