#pragma once
// Who sits at the desktop: the owner of the desktop shell's process, found
// the way the system's process snapshot would find it.

#include <string>
#include <vector>

namespace viewxqp {

// The process names taken for the desktop shell, compared without regard to
// ASCII case: "explorer.exe", as the shell is called where the product comes
// from, and the session processes of the common Linux desktops (GNOME,
// KDE Plasma, Xfce, MATE, Cinnamon, LXQt). All fit the kernel's 15-character
// process names.
const std::vector<std::string>& desktopShellNames();

// Walks the processes under `procRoot` (a /proc-like folder: one folder per
// process id, each with a "status" file giving "Name:" and "Uid:") in
// ascending id order, stops at the first whose name is one of
// desktopShellNames(), and returns its real user's account name from the
// password database. "" when no process matches, or when the first match's
// owner cannot be read or has no account (later matches are not tried).
std::string desktopUserName(const std::string& procRoot = "/proc");

}  // namespace viewxqp
