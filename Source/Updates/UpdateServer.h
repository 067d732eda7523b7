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
// move on. Short, because the HTTP client cannot be interrupted while it
// connects: deleting a job whose server never takes the connection (a
// firewall that drops packets) waits for this time-out, and a host that
// closes the plug-in then waits with it.
constexpr int connectionTimeoutMs = 3000;
} // namespace UpdateServer
