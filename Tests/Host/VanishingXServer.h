#pragma once

#include <atomic>
#include <string>
#include <thread>

// An X server that goes away at a chosen moment: a relay in front of a real
// one (the test's Xvfb) for the first client that connects. Once the client
// has first asked for the Generic Event extension (the plug-in does that first
// on a connection it opens, and Xlib never does while it opens one), the
// relay passes on as many whole messages as asked, the client's requests and
// the server's replies and events as they come, then closes both sides, as a
// server that goes away does, while the client waits or writes, and takes no
// client again. It listens where a local server of display n does, on the abstract
// socket "/tmp/.X11-unix/X<n>", for the first n from 100 that no server has
// taken (an Xvfb started with -displayfd passes over a number it cannot take).
class VanishingXServer
{
public:
    VanishingXServer (const std::string& realDisplay, int messagesBeforeGoing);
    ~VanishingXServer();

    VanishingXServer (const VanishingXServer&) = delete;
    VanishingXServer& operator= (const VanishingXServer&) = delete;

    std::string display;    // ":n"; empty when there is none

    bool wentAway() const { return gone.load(); }

private:
    void relay (int client);

    const std::string realSocket;
    const int messagesBeforeGoing;
    int listener = -1;
    std::atomic<bool> gone { false };
    std::atomic<bool> stopping { false };
    std::thread relaying;
};
