#pragma once

#include "Components/Images.h"

#include <juce_gui_basics/juce_gui_basics.h>

// A scrolling window over a long list for a popup menu: a fixed number of rows
// (the listeners, top row first) show consecutive elements from an offset, and
// the window moves one element at a time while the first or last row is
// highlighted. Timer 0 scrolls; timer 1 ends a hold.
template <typename T>
class PopupMenuDataSource : private juce::MultiTimer
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void offsetChanged() = 0;
    };

    enum TimerIds
    {
        scrollTimerId = 0,
        holdTimerId = 1
    };

    explicit PopupMenuDataSource (juce::OwnedArray<T>& list)
        : source (list),
          scrollUpImage (Images::Scroll_up.getImage()),
          scrollDownImage (Images::Scroll_down.getImage())
    {
    }

    ~PopupMenuDataSource() override
    {
        stopTimer (scrollTimerId);
        stopTimer (holdTimerId);
        scrollUpImage = {};
        scrollDownImage = {};
        listeners.clear();
    }

    // Each row must also be a popup menu item component, whose highlight is read.
    void addListener (Listener* row) { listeners.add (row); }
    void removeListener (Listener* row) { listeners.remove (row); }

    // Moves the window by delta elements, within the list; rows are told, bottom
    // row first. A row removed while they are told is not told; none is told twice.
    void adjustOffset (int delta)
    {
        const auto total = source.size();
        const auto rows = listeners.size();
        if (total == 0 || total < rows || delta == 0)
            return;

        // Compared with the room left before adding, so that no step overflows.
        const auto last = total - rows;
        const auto newOffset = delta < 0 ? (delta < -offset ? 0 : offset + delta)
                                         : (delta > last - offset ? last : offset + delta);
        if (newOffset == offset)
            return;

        offset = newOffset;
        listeners.call ([] (Listener& row) { row.offsetChanged(); });
    }

    void timerCallback (int timerId) override
    {
        if (timerId == scrollTimerId)
        {
            const auto& rows = listeners.getListeners();
            if (rows.size() < 3)
                return;
            if (isHighlighted (rows.getFirst()))
                adjustOffset (-1);
            else if (isHighlighted (rows.getLast()))
                adjustOffset (1);
        }
        else if (timerId == holdTimerId)
        {
            holding = 0;
            stopTimer (holdTimerId);
        }
    }

    int getOffset() const noexcept { return offset; }
    const T* getElement (int row) const { return source[offset + row]; }
    const juce::Image& getScrollUpImage() const noexcept { return scrollUpImage; }
    const juce::Image& getScrollDownImage() const noexcept { return scrollDownImage; }

private:
    static bool isHighlighted (Listener* row)
    {
        auto* item = dynamic_cast<juce::PopupMenu::CustomComponent*> (row);
        return item != nullptr && item->isItemHighlighted();
    }

    juce::ListenerList<Listener> listeners; // top row first; told from the bottom row up
    juce::OwnedArray<T>& source;
    int offset = 0;
    juce::Image scrollUpImage;
    juce::Image scrollDownImage;
    int holding = 0;
};
