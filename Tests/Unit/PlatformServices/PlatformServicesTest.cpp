#include "PlatformServices/SystemPlatformServices.h"
#include "Support/ScratchFolder.h"
#include "Support/Waiting.h"

#include <gtest/gtest.h>

TEST (PlatformServices, OnlyPlainHttpAndHttpsAddressesAreWebAddresses)
{
    const struct
    {
        const char* address;
        bool accepted;
    } cases[] = {
        { "https://www.example.com/pellion/", true },
        { "http://127.0.0.1:8080/info?a=1&b=%20#top", true },
        { "HTTPS://Example.com", true },
        { "https://user@example.com/", true },
        { "", false },
        { "www.example.com", false },
        { "file:///etc/passwd", false },
        { "javascript:alert(1)", false },
        { "ftp://example.com/", false },
        { "https://", false },
        { "https:///path", false },
        { "https://:80/", false },
        { "https://example.com/$(touch x)", false },
        { "https://example.com/`id`", false },
        { "https://example.com/a b", false },
        { "https://example.com/'quote'", false },
        { "https://example.com/\"quote\"", false },
        { "https://example.com/a;b\nrm -rf ~", false },
        { "https://example.com/\xc3\xa9", false },
        { "-https://example.com/", false },
    };

    for (const auto& c : cases)
        EXPECT_EQ (PlatformServices::isWebAddress (juce::String::fromUTF8 (c.address)), c.accepted) << c.address;

    const auto longest = "https://example.com/" + juce::String::repeatedString ("a", PlatformServices::maxAddressLength - 20);
    EXPECT_TRUE (PlatformServices::isWebAddress (longest));
    EXPECT_FALSE (PlatformServices::isWebAddress (longest + "a"));
}

// The opener is a program of our own that writes down its arguments, one per
// line: what it is handed arrives as the argument vector, untouched by any shell.
TEST (PlatformServices, TheSystemSideHandsItsOpenerOneUntouchedArgument)
{
    ScratchFolder scratch;
    const auto opener = scratch.folder.getChildFile ("opener");
    const auto log = scratch.folder.getChildFile ("arguments");
    ASSERT_TRUE (opener.replaceWithText ("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '"
                                         + log.getFullPathName() + "'\n",
                                         false, false, "\n"));
    ASSERT_TRUE (opener.setExecutePermission (true));

    const auto awkward = scratch.folder.getChildFile ("a b;$(touch pwned)'\"`id`");
    ASSERT_TRUE (awkward.createDirectory());

    SystemPlatformServices services (opener.getFullPathName());
    ASSERT_TRUE (services.openWebPage ("https://www.example.com/a?b=1&c=2"));
    EXPECT_FALSE (services.openWebPage ("file:///etc/passwd"));
    ASSERT_TRUE (services.revealInFileManager (awkward));
    ASSERT_TRUE (services.revealInFileManager (opener)); // a file: its folder

    // The openers run detached, each on its own: wait for what they write, in whatever order.
    juce::StringArray expected { "https://www.example.com/a?b=1&c=2", awkward.getFullPathName(),
                                 scratch.folder.getFullPathName() };
    juce::StringArray lines;
    ASSERT_TRUE (waitUntil ("the openers to write three lines", [&]
    {
        lines = juce::StringArray::fromLines (log.loadFileAsString().trimEnd());
        return lines.size() >= expected.size();
    }));

    lines.sort (false);
    expected.sort (false);
    EXPECT_EQ (lines, expected);
    EXPECT_FALSE (scratch.folder.getChildFile ("pwned").exists());
    EXPECT_FALSE (awkward.getChildFile ("pwned").exists());

    EXPECT_FALSE (SystemPlatformServices::startDetached (scratch.folder.getChildFile ("missing").getFullPathName(), {}));
    EXPECT_FALSE (SystemPlatformServices::startDetached ("pellion-no-such-program", {}));
}
