#pragma once

#include <string>

// Every attempt of this process to reach an X server, the plug-in's included:
// the test program defines connect(), and exports it so that the X libraries
// the framework loads call it (then the C library's). An X server is a local
// socket under /tmp/.X11-unix, the abstract one included, or TCP ports 6000 to 6099.
class XConnectionAttempts
{
public:
    static int count();

    // Of the last one: "X<n>" for a local display <n>, "port <p>" for TCP.
    static std::string last();
};
