#pragma once

// Where the plug-in looks for updates. Both addresses lie under a domain
// reserved for examples, so that nothing real is ever contacted; the maker's
// own addresses take their place in a release.
namespace UpdateServer
{
constexpr const char* versionFileAddress = "https://assets.example.com/QZR/latest.json";
constexpr const char* productPage = "https://www.example.com/pellion/";

// The one header line both web jobs send.
constexpr const char* extraHeaders = "User-Agent: zvk-plugin";

// How long both web jobs wait for a connection, and for a stalled transfer to
// move on. Deleting a job never waits for it: the transfer is cancelled at
// once, connecting or not.
constexpr int connectionTimeoutMs = 3000;

// The longest a whole fetch may take, redirects included, however steadily the
// server keeps sending: seconds for the small version file, minutes for a
// firmware archive of up to its cap.
constexpr int versionFileDeadlineMs = 20 * 1000;
constexpr int firmwareArchiveDeadlineMs = 5 * 60 * 1000;
} // namespace UpdateServer
