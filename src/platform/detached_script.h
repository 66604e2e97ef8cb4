// Stands in for starting a batch file hidden and leaving it to run after the program ends: the
// shell script is started with /bin/sh in the given folder, in a new session, with its output
// going nowhere, and the caller does not wait for it.
#pragma once

#include <string>

namespace platform {

// False when the folder cannot be entered or the process cannot be started.
bool StartDetachedScript(const std::string& folder_host, const std::string& script_name);

}  // namespace platform
