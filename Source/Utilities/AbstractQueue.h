#pragma once

#include <atomic>
#include <cstdint>

// Index bookkeeping of a single-producer, single-consumer ring. The writer
// stores only the write index and the reader only the read index, so neither
// ever waits for the other. One slot always stays empty, which tells a full
// ring from an empty one: a ring of N slots holds at most N - 1 samples.
//
// Calls outside the limits (a negative count, an advance of the whole ring or
// more) change nothing and are counted rather than logged, since they come
// from audio threads; the owner reads the count.
class AbstractQueue
{
public:
    explicit AbstractQueue (int capacityToUse) noexcept
        : capacity (capacityToUse < 2 ? 2 : capacityToUse) {}

    int getCapacity() const noexcept { return capacity; }
    int getReadIndex() const noexcept { return readIndex.load(); }
    int getWriteIndex() const noexcept { return writeIndex.load(); }

    int getFill() const noexcept { return fillBetween (readIndex.load(), writeIndex.load()); }
    int getFreeSpace() const noexcept { return capacity - 1 - getFill(); }

    // Reader: moves the read index to `fill` samples behind the write index.
    bool setReadBehindWrite (int fill) noexcept
    {
        if (! isValidCount (fill))
            return refuse();

        readIndex.store (wrapped (writeIndex.load() - fill));
        return true;
    }

    // Writer: moves the write index to `fill` samples ahead of the read index.
    bool setWriteAheadOfRead (int fill) noexcept
    {
        if (! isValidCount (fill))
            return refuse();

        writeIndex.store (wrapped (readIndex.load() + fill));
        return true;
    }

    // Calls refused since construction: caller errors, never expected in use.
    uint32_t getViolationCount() const noexcept { return violations.load (std::memory_order_relaxed); }

protected:
    ~AbstractQueue() = default;

    // A count of samples the ring can move in one step: 0 to capacity - 1.
    bool isValidCount (int count) const noexcept { return count >= 0 && count < capacity; }

    int fillBetween (int read, int write) const noexcept
    {
        const int difference = write - read;
        return difference < 0 ? difference + capacity : difference;
    }

    bool advanceReadIndex (int count) noexcept
    {
        if (! isValidCount (count))
            return refuse();

        readIndex.store (wrapped (readIndex.load() + count));
        return true;
    }

    bool advanceWriteIndex (int count) noexcept
    {
        if (! isValidCount (count))
            return refuse();

        writeIndex.store (wrapped (writeIndex.load() + count));
        return true;
    }

    // Only while neither side touches the ring.
    void resetIndices() noexcept
    {
        readIndex.store (0);
        writeIndex.store (0);
    }

    bool refuse() noexcept
    {
        violations.fetch_add (1, std::memory_order_relaxed);
        return false;
    }

    const int capacity;

private:
    // Valid for indices within one capacity of the ring: -capacity to 2 * capacity - 1.
    int wrapped (int index) const noexcept
    {
        if (index < 0)
            return index + capacity;
        return index >= capacity ? index - capacity : index;
    }

    std::atomic<int> readIndex { 0 };
    std::atomic<int> writeIndex { 0 };
    std::atomic<uint32_t> violations { 0 };
};
