#include "Support/DesktopRecorder.h"

namespace
{
// No test in this program ever starts a browser or a file manager: whatever a
// test does not record itself is recorded here, from before the first test.
DesktopRecorder fallbackDesktop;
} // namespace
