#pragma once

// Whether the caller is the plug-in's message thread: the thread that created
// the first open instance. Answered without a lock, so any host thread may ask.
bool isPluginMessageThread() noexcept;
