#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

// Hands out opaque handles for objects and finds the object behind a handle
// without locking and without touching memory the handle points to: a handle
// that was removed, or never handed out, finds nothing, even once its slot
// holds another object. Finding may happen on any thread (an audio thread
// too); adding and removing take a lock.
template <typename Object, size_t capacity>
class HandleTable
{
public:
    using Handle = uintptr_t;

    // 0 when the table is full.
    Handle add (Object* object)
    {
        const std::lock_guard<std::mutex> guard (lock);

        for (size_t index = 0; index < capacity; ++index)
        {
            auto& slot = slots[index];

            if (slot.handle.load (std::memory_order_relaxed) != 0)
                continue;

            // A serial per handle, so that a slot's next handle differs from all before it.
            const Handle handle = ++serial * capacity + index;
            slot.object.store (object, std::memory_order_relaxed);
            slot.handle.store (handle, std::memory_order_release);
            return handle;
        }

        return 0;
    }

    Object* find (Handle handle) const noexcept
    {
        const auto& slot = slots[handle % capacity];

        if (handle == 0 || slot.handle.load (std::memory_order_acquire) != handle)
            return nullptr;

        return slot.object.load (std::memory_order_relaxed);
    }

    // The object the handle stood for, or null when it was not live.
    Object* remove (Handle handle)
    {
        const std::lock_guard<std::mutex> guard (lock);
        auto* object = find (handle);

        if (object != nullptr)
            slots[handle % capacity].handle.store (0, std::memory_order_release);

        return object;
    }

    // The object of some live handle, which is removed; null when none is live.
    Object* removeAny()
    {
        const std::lock_guard<std::mutex> guard (lock);

        for (auto& slot : slots)
            if (slot.handle.exchange (0, std::memory_order_acq_rel) != 0)
                return slot.object.load (std::memory_order_relaxed);

        return nullptr;
    }

private:
    struct Slot
    {
        std::atomic<Handle> handle { 0 };
        std::atomic<Object*> object { nullptr };
    };

    std::array<Slot, capacity> slots;
    std::mutex lock;
    Handle serial = 0;
};
