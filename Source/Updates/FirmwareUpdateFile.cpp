#include "Updates/FirmwareUpdateFile.h"

#include "Devices/BootloaderFrame.h"
#include "Utilities/InputLimits.h"

#include <cstring>

namespace
{
using Problem = FirmwareUpdateFile::Problem;
namespace Frame = BootloaderFrame;

// Where a stream stands between two messages.
class Order
{
public:
    // Whether a message with this command may come next; moves on when it may.
    bool take (uint8_t command)
    {
        switch (stage)
        {
            case Stage::beforeBegin: return next (command == Frame::begin, Stage::beforeHeader);
            case Stage::beforeHeader: return next (command == Frame::header, Stage::beforeBlock);
            case Stage::afterBlock:
                if (command == Frame::end)
                    return next (true, Stage::ended);
                [[fallthrough]];
            case Stage::beforeBlock:
                records = 1;
                return next (command == Frame::record, Stage::inBlock);
            case Stage::inBlock:
                if (command == Frame::blockEnd)
                    return next (true, Stage::afterBlock);
                return command == Frame::record && ++records <= Frame::recordsPerBlock;
            case Stage::ended: return false;
        }

        return false;
    }

    bool isComplete() const noexcept { return stage == Stage::ended; }

private:
    enum class Stage { beforeBegin, beforeHeader, beforeBlock, inBlock, afterBlock, ended };

    bool next (bool allowed, Stage then)
    {
        if (allowed)
            stage = then;
        return allowed;
    }

    Stage stage = Stage::beforeBegin;
    int records = 0;
};

Problem check (const uint8_t* data, size_t size, juce::MidiBuffer& buffer)
{
    if (size == 0)
        return Problem::empty;

    if (size > InputLimits::firmwareFileBytes)
        return Problem::tooLarge;

    Order order;
    const uint8_t* identity = nullptr;
    int count = 0;

    for (size_t start = 0; start < size;)
    {
        auto end = start + 1;
        while (end < size && data[end] < 0x80)
            ++end;

        // A stray byte, a message that runs off the end, or one cut short by
        // another status byte (a new F0 included).
        if (data[start] != 0xF0 || end == size || data[end] != 0xF7)
            return Problem::notMessages;

        if (++count > InputLimits::firmwareMessages)
            return Problem::tooLarge;

        const auto* message = data + start;
        const auto length = (int) (end + 1 - start);

        if (length < Frame::commandPosition + 2 || std::memcmp (message + 1, Frame::maker, sizeof (Frame::maker)) != 0)
            return Problem::foreignMessage;

        if (identity == nullptr)
            identity = message + Frame::identityPosition;
        else if (std::memcmp (message + Frame::identityPosition, identity, Frame::identityBytes) != 0)
            return Problem::foreignMessage;

        const auto command = message[Frame::commandPosition];
        const auto expectedLength = Frame::lengthOf (command);

        if (expectedLength == 0)
            return Problem::foreignMessage;

        if (length != expectedLength)
            return Problem::wrongLength;

        if (! order.take (command))
            return Problem::outOfOrder;

        if (! buffer.addEvent (message, length, 0))
            return Problem::tooLarge;

        start = end + 1;
    }

    return order.isComplete() ? Problem::none : Problem::incomplete;
}
} // namespace

FirmwareUpdateFile::Problem FirmwareUpdateFile::split (const juce::MemoryBlock& bytes, juce::MidiBuffer& buffer)
{
    buffer.clear();
    const auto problem = check (static_cast<const uint8_t*> (bytes.getData()), bytes.getSize(), buffer);

    if (problem != Problem::none)
        buffer.clear();

    return problem;
}
