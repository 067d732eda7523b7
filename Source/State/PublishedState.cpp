#include "State/PublishedState.h"

void PublishedState::publish (StateChunk::Contents contents)
{
    const std::lock_guard<std::mutex> guard (lock);
    published = std::move (contents);
}

StateChunk::Contents PublishedState::read() const
{
    const std::lock_guard<std::mutex> guard (lock);
    auto contents = published;

    for (const auto& waiting : pending)
    {
        for (const auto& [id, value] : waiting.values)
            for (auto& parameter : contents.parameters)
                if (parameter.first == id)
                    parameter.second = value;

        if (waiting.program)
            contents.program = *waiting.program;
    }

    return contents;
}

void PublishedState::addPending (Pending next)
{
    const std::lock_guard<std::mutex> guard (lock);
    pending.push_back (std::move (next));
}

std::optional<PublishedState::Pending> PublishedState::peekNext() const
{
    const std::lock_guard<std::mutex> guard (lock);
    if (pending.empty())
        return std::nullopt;

    return pending.front();
}

void PublishedState::completeNext (StateChunk::Contents contents)
{
    const std::lock_guard<std::mutex> guard (lock);
    if (! pending.empty())
        pending.pop_front();

    published = std::move (contents);
}
