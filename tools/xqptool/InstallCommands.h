#pragma once
// The setup commands of xqptool, standing in for the product's setup
// program:
//
//   xqptool setup [--install-folder DIR]   record the install folder, put the
//                                           driver file into the spooler's
//                                           driver folder, register the
//                                           driver and add "Folisto Brelvane"
//   xqptool add-printer NAME               add a printer of the driver
//   xqptool delete-printers                delete every printer of the driver

namespace tools {

// The usage lines of these commands, for the tool's usage text.
extern const char* const kInstallUsage;

// Runs the command named by argv[1] when it is one of the above and returns
// its exit status (0 success, 1 failure, 2 bad usage); -1 for any other
// command, which is left to the caller.
int runInstallCommand(int argc, char** argv);

}  // namespace tools
