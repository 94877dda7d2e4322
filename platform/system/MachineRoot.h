#pragma once
// The folder that stands in for the Windows machine: what Windows keeps in
// C:\Windows, the spooler's folder and the machine's registry live under it.
//
// It is $FOLISTO_ROOT when that is set, else $XDG_DATA_HOME/folisto-brelvane,
// else $HOME/.local/share/folisto-brelvane. The environment is read on every
// call, so a change of it takes effect at once. Empty variables count as
// unset, and so does a relative XDG_DATA_HOME (the XDG rules ignore it);
// trailing slashes are dropped. When no variable gives a home, the user's
// home folder from the password database is used; when even that is
// missing, machineRoot() is empty and ensureMachineRoot() fails.

#include <string>

namespace platform {

std::string machineRoot();
// `name` inside the machine root, or empty when there is no root.
std::string pathInMachineRoot(const std::string& name);
std::string windowsFolder();  // machineRoot() + "/Windows"
std::string spoolFolder();    // machineRoot() + "/Spool"

// Creates the root, its parents and the two folders above where missing
// (mode 0755, less the umask). False, with the last error set, when one
// cannot be made or a file stands in its place (ERROR_DIRECTORY); folders
// that are already there are left as they are.
bool ensureMachineRoot();

// Creates `path` and any missing parents with `mode` (less the umask); true
// when it is a folder afterwards. Sets the last error on failure.
bool createFolderPath(const std::string& path, unsigned mode = 0755);

}  // namespace platform
