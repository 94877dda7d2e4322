#pragma once
// The tests' private cupsd, as the CTest fixture "cups" leaves it: its
// settings file is read into this process's environment, so that the
// spooler and the CUPS commands the tests run reach that server and never
// the machine's own.

#include <string>

namespace fbtest {

// Loads the sandbox's settings file (FB_CUPS_ENV, else the one this build's
// fixture writes) into the environment. False, with the reason in `why`,
// when there is none: the caller skips.
bool useCupsSandbox(std::string& why);

// A value of the settings file (FB_CUPS_OUTPUT ...), after useCupsSandbox;
// "" when it has none.
std::string cupsSandboxValue(const std::string& name);

// The folder of the sandbox's files (FB_CUPS_DIR), after useCupsSandbox.
std::string cupsSandboxDir();

// Runs a shell command with the sandbox's environment; its exit status.
int runCommand(const std::string& command);

// A word quoted for the shell.
std::string shellQuote(const std::string& word);

}  // namespace fbtest
