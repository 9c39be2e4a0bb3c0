// What the program does when it runs from any folder but the Windows folder.
#pragma once

#include "setup/install.h"

#include <optional>

namespace zn {

// Offers to remove an earlier installation (only when one is there: the backup file, our
// redirection, or the redirect copy of this program), then calls Install whatever the answer
// was. Removal undoes what is there of either installation: the redirection first, so that a
// copy install that cannot be undone never keeps it in place. Returns Install's result. A
// failing step throws and so ends the sequence: no later prompt is shown. Only one set-up runs
// at a time: a second one reports and changes nothing. The lock is let go when this returns
// (or throws), before any window opens.
std::optional<InstallKind> RunSetupSequence(SetupHost& files, RedirectHost& system,
                                            const SetupPaths& paths);

} // namespace zn
