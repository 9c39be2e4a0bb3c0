// What the program does when it runs from any folder but the Windows folder.
#pragma once

#include "setup/install.h"

namespace zn {

// Offers to remove an earlier installation (only when the backup file exists), then calls
// Install whatever the answer was. Returns Install's result. A failing file operation throws
// and so ends the sequence: no later prompt is shown. Only one set-up runs at a time: a second
// one reports and changes nothing. The lock is let go when this returns (or throws), before any
// window opens.
Boolean RunSetupSequence(SetupHost& host, const SetupPaths& paths);

} // namespace zn
