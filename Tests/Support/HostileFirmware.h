#pragma once

#include "Devices/BootloaderFrame.h"
#include "Support/ZipMaker.h"
#include "Updates/FirmwareArchive.h"
#include "Updates/FirmwareUpdateFile.h"
#include "Utilities/InputLimits.h"

#include <string>
#include <vector>
#include <zlib.h>

// Firmware update files and archives spoiled the ways a damaged download, a
// lying server or a wrong file spoils them, each made from a whole firmware
// that the test hands in (at least one block of records).
namespace HostileFirmware
{
using Messages = std::vector<std::string>;
using Problem = FirmwareUpdateFile::Problem;
using Outcome = FirmwareArchive::Outcome;

// A firmware's messages, cut after each F7.
inline Messages messagesOf (const std::string& firmware)
{
    Messages messages;
    for (size_t start = 0, end; (end = firmware.find ('\xF7', start)) != std::string::npos; start = end + 1)
        messages.push_back (firmware.substr (start, end + 1 - start));
    return messages;
}

inline std::string join (const Messages& messages, size_t count = std::string::npos)
{
    std::string bytes;
    for (size_t i = 0; i < messages.size() && i < count; ++i)
        bytes += messages[i];
    return bytes;
}

// The firmware's first message with this command.
inline std::string first (const Messages& messages, uint8_t command)
{
    for (const auto& m : messages)
        if ((uint8_t) m[BootloaderFrame::commandPosition] == command)
            return m;
    return {};
}

struct SyxCase
{
    std::string what;
    std::string bytes;
    Problem problem;
};

inline std::vector<SyxCase> syxFiles (const std::string& firmware)
{
    namespace F = BootloaderFrame;
    const auto messages = messagesOf (firmware);
    const auto half = (messages.size() + 1) / 2; // 493 of the carried 985
    const auto begin = first (messages, F::begin), header = first (messages, F::header), record = first (messages, F::record),
               blockEnd = first (messages, F::blockEnd), end = first (messages, F::end);

    const auto changed = [&messages] (size_t message, size_t at, char to)
    {
        auto copy = messages;
        copy[message][at] = to;
        return join (copy);
    };
    const auto inserted = [&messages] (size_t before, const std::string& extra)
    {
        auto copy = messages;
        copy.insert (copy.begin() + (std::ptrdiff_t) before, extra);
        return join (copy);
    };

    std::string tooManyRecords = begin + header;
    std::string tooMany = begin + header;
    for (int i = 0; i <= F::recordsPerBlock; ++i)
        tooManyRecords += record;
    for (int i = 2; i <= InputLimits::firmwareMessages; ++i)
        tooMany += i % F::recordsPerBlock == 0 ? blockEnd : record;

    auto longer = record, shorter = record;
    longer.insert (longer.size() - 1, 1, '\x01');
    shorter.erase (shorter.size() - 2, 1);

    return {
        { "cut at a message boundary", join (messages, half), Problem::incomplete },
        { "without its last message", join (messages, messages.size() - 1), Problem::incomplete },
        { "cut inside a message", firmware.substr (0, firmware.size() - 3), Problem::notMessages },
        { "nothing", "", Problem::empty },
        { "a stray byte between messages", inserted (2, "\x05"), Problem::notMessages },
        { "a stray byte after the end", firmware + "\x05", Problem::notMessages },
        { "a status byte inside a message", changed (2, 10, '\x90'), Problem::notMessages },
        { "a message cut short by the next", inserted (2, record.substr (0, 20)), Problem::notMessages },
        { "another maker's message", changed (2, 2, '\x5B'), Problem::foreignMessage },
        { "a message for another bootloader", changed (2, 5, '\x11'), Problem::foreignMessage },
        { "a general MIDI message among them", inserted (2, "\xF0\x7E\x7F\x06\x01\xF7"), Problem::foreignMessage },
        { "an unknown command", changed (2, F::commandPosition, '\x7B'), Problem::foreignMessage },
        { "a record one byte longer", inserted (2, longer), Problem::wrongLength },
        { "a record one byte shorter", inserted (2, shorter), Problem::wrongLength },
        { "a block end as long as a record", inserted (2, blockEnd.substr (0, 14) + std::string (32, '\x01') + "\xF7"), Problem::wrongLength },
        { "the header before the begin", header + begin + join (Messages (messages.begin() + 2, messages.end())), Problem::outOfOrder },
        { "no records", begin + header + end, Problem::outOfOrder },
        { "a block end without records", inserted (2, blockEnd), Problem::outOfOrder },
        { "a block of 257 records", tooManyRecords + blockEnd + end, Problem::outOfOrder },
        { "a message after the end", firmware + record, Problem::outOfOrder },
        { "two firmwares back to back", firmware + firmware, Problem::outOfOrder },
        { "more messages than any firmware has", tooMany, Problem::tooLarge },
        { "more bytes than any firmware has", firmware + std::string (InputLimits::firmwareFileBytes, '\x01'), Problem::tooLarge },
    };
}

struct ArchiveCase
{
    std::string what;
    std::string archive;
    Outcome outcome;     // of taking out the update file
    std::string status;  // the download's last status
};

inline std::vector<ArchiveCase> archives (const std::string& firmware)
{
    using At = ZipEntryAt;
    const auto stored = toString (makeZip ({ { "FW/Pedal.syx", firmware } }, 0));
    const auto deflated = toString (makeZip ({ { "FW/Pedal.syx", firmware } }, 9));
    const auto messages = messagesOf (firmware);
    const auto halfBytes = join (messages, (messages.size() + 1) / 2);
    const auto halfSize = (uint32_t) halfBytes.size();
    const auto halfCrc = (uint32_t) crc32 (0L, reinterpret_cast<const Bytef*> (halfBytes.data()), (uInt) halfBytes.size());

    // An archive with fields set: in the directory record or the local header, at an offset, to a value of so many bytes.
    struct Field
    {
        bool central;
        size_t at;
        uint32_t value;
        int bytes = 4;
    };
    const auto with = [] (std::string zip, std::initializer_list<Field> fields)
    {
        const auto at = findZipEntry (zip);
        for (const auto& f : fields)
            setZipField (zip, (f.central ? at.central : at.local) + f.at, f.value, f.bytes);
        return zip;
    };
    const auto field = [] (const std::string& zip, bool central, size_t at)
    {
        const auto entry = findZipEntry (zip);
        return zipField (zip, (central ? entry.central : entry.local) + at);
    };
    const auto byteChanged = [] (std::string zip, size_t from)
    {
        auto& byte = zip[findZipEntry (zip).data + from];
        byte = (char) (byte ^ 0x01);
        return zip;
    };
    const auto size = [&field] (const std::string& zip) { return field (zip, true, At::centralContent); };
    const auto compressed = [&field] (const std::string& zip) { return field (zip, true, At::centralCompressed); };
    const auto crc = [&field] (const std::string& zip) { return field (zip, true, At::centralCrc); };

    const char* complete = "Download complete";
    const char* damaged = "Downloaded file is not valid";
    const char* notFirmware = "File content is not valid";
    auto descriptor = withDataDescriptor (deflated, true);
    setZipField (descriptor, findZipEntry (descriptor).dataEnd + 4, crc (deflated) ^ 1);

    return {
        { "stored", stored, Outcome::extracted, complete },
        { "deflated", deflated, Outcome::extracted, complete },
        { "sums in a data descriptor", withDataDescriptor (deflated, true), Outcome::extracted, complete },
        { "sums in a data descriptor without its signature", withDataDescriptor (stored, false), Outcome::extracted, complete },
        { "a directory that declares half the entry", with (stored, { { true, At::centralCompressed, halfSize }, { true, At::centralContent, halfSize } }),
          Outcome::archiveNotValid, damaged },
        { "both records declare half the entry", with (stored, { { true, At::centralCompressed, halfSize }, { true, At::centralContent, halfSize },
                                                                 { false, At::localCompressed, halfSize }, { false, At::localContent, halfSize } }),
          Outcome::archiveNotValid, damaged },
        { "half the entry, declared and summed throughout",
          with (stored, { { true, At::centralCompressed, halfSize }, { true, At::centralContent, halfSize }, { true, At::centralCrc, halfCrc },
                          { false, At::localCompressed, halfSize }, { false, At::localContent, halfSize }, { false, At::localCrc, halfCrc } }),
          Outcome::extracted, notFirmware },
        { "a stored byte changed after its CRC was taken", byteChanged (stored, size (stored) / 2), Outcome::archiveNotValid, damaged },
        { "a deflated byte changed", byteChanged (deflated, compressed (deflated) / 2), Outcome::archiveNotValid, damaged },
        { "a local header whose size differs from the directory's", with (stored, { { false, At::localContent, size (stored) - 1 } }),
          Outcome::archiveNotValid, damaged },
        { "a local header whose compressed size differs", with (deflated, { { false, At::localCompressed, compressed (deflated) + 1 } }),
          Outcome::archiveNotValid, damaged },
        { "a local header whose CRC differs", with (stored, { { false, At::localCrc, crc (stored) ^ 1 } }), Outcome::archiveNotValid, damaged },
        { "a directory whose CRC differs", with (stored, { { true, At::centralCrc, crc (stored) ^ 1 } }), Outcome::archiveNotValid, damaged },
        { "deflated data that inflates past its size", with (deflated, { { true, At::centralContent, size (deflated) - 1 },
                                                                          { false, At::localContent, size (deflated) - 1 } }),
          Outcome::archiveNotValid, damaged },
        { "deflated data cut short of its compressed size",
          with (deflated, { { true, At::centralCompressed, compressed (deflated) - 1 }, { false, At::localCompressed, compressed (deflated) - 1 } }),
          Outcome::archiveNotValid, damaged },
        { "a data descriptor that disagrees", descriptor, Outcome::archiveNotValid, damaged },
        { "a local header under another name", with (stored, { { false, 30, 'f', 1 } }), Outcome::archiveNotValid, damaged },
        { "a local header past the directory", with (stored, { { true, At::centralLocal, (uint32_t) stored.size() } }),
          Outcome::archiveNotValid, damaged },
        { "an encrypted entry", with (stored, { { true, At::centralFlags, 1, 2 }, { false, At::localFlags, 1, 2 } }), Outcome::contentNotValid, notFirmware },
        { "an entry compressed another way", with (deflated, { { true, At::centralMethod, 12, 2 }, { false, At::localMethod, 12, 2 } }),
          Outcome::contentNotValid, notFirmware },
        { "a firmware cut at a message boundary", toString (makeZip ({ { "pedal.syx", halfBytes } })),
          Outcome::extracted, notFirmware },
    };
}
} // namespace HostileFirmware
