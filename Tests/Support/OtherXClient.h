#pragma once

// Another program on the display: an X connection apart from the framework's,
// with a small window of its own that can take the keyboard focus.
class OtherXClient
{
public:
    OtherXClient();
    ~OtherXClient();
    OtherXClient (const OtherXClient&) = delete;
    OtherXClient& operator= (const OtherXClient&) = delete;

    bool isOpen() const { return display != nullptr; }

    // Moves the keyboard focus to this window (an X window id), or to the
    // client's own, and returns once the server has done it.
    void focus (unsigned long window);
    void focusOwnWindow() { focus (ownWindow); }

private:
    void* display = nullptr;
    unsigned long ownWindow = 0;
};

// A round trip on the framework's own connection, as it makes many: whatever
// the server sent it before the reply is read into Xlib's queue on the way.
void roundTripOnFrameworkConnection();
