#pragma once

#include <juce_core/juce_core.h>

// Listeners called first added first; juce::ListenerList serves the other order.
// As there, a listener may add or remove listeners (itself included) during a
// call: each listener in the list when a call starts is called once unless it is
// removed first, and one added during a call waits for the next.
template <typename ListenerType>
class ForwardListenerList
{
public:
    ForwardListenerList() = default;

    void add (ListenerType* listener)
    {
        jassert (listener != nullptr);
        if (listener != nullptr)
            listeners.addIfNotAlreadyThere (listener);
    }

    void remove (ListenerType* listener)
    {
        const int index = listeners.removeFirstMatchingValue (listener);
        if (index < 0)
            return;

        for (auto* walk = walks; walk != nullptr; walk = walk->outer)
        {
            if (index < walk->next)
                --walk->next;
            if (index < walk->end)
                --walk->end;
        }
    }

    int size() const noexcept { return listeners.size(); }

    template <typename Callback>
    void call (Callback&& callback)
    {
        Walk walk (*this);
        while (walk.next < walk.end)
            callback (*listeners.getUnchecked (walk.next++));
    }

private:
    // A call in progress: the next listener to call and the end of those it calls.
    struct Walk
    {
        explicit Walk (ForwardListenerList& l) : list (l), outer (l.walks), end (l.listeners.size()) { list.walks = this; }
        ~Walk() { list.walks = outer; }

        ForwardListenerList& list;
        Walk* outer;
        int next = 0;
        int end;

        JUCE_DECLARE_NON_COPYABLE (Walk)
    };

    juce::Array<ListenerType*> listeners;
    Walk* walks = nullptr;

    JUCE_DECLARE_NON_COPYABLE (ForwardListenerList)
};
