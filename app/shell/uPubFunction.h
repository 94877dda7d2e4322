#pragma once
// The program's small shared routines: the install folder, the printer
// lists by driver, page file sizes and deletion, folders and copies, the
// error-code box, the spooler document wrappers, the folders of a new
// printer, starting a program and waiting for it, and a few conversions.
//
// None keeps state between calls and none lets an exception out: a failure
// ends in a message box where one is named below, and a neutral result
// (empty string, false, 0). Paths use '/' between folders; a folder handed
// out by these routines ends in '/' where the routine says so.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/GdiTypes.h"

// Where the setup step records the install folder (HKEY_LOCAL_MACHINE).
inline constexpr const char* kInstallKey = "SOFTWARE\\Corvexa\\Folisto Brelvane";
inline constexpr const char* kInstallValue = "Path";
// The spooler's settings; a printer's own key is this key + "\\" + its name.
inline constexpr const char* kPrintersKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
// The driver of the product's own printers, compared with case.
inline constexpr const char* kOwnDriverName = "Folisto_Brelvane Driver";
// The caption of the program's plain message boxes.
inline constexpr const char* kAppTitle = "Folisto Brelvane";

// The install folder with a trailing '/', or "" when the value is missing or
// empty. When the key itself is missing, also the box "GetSoftWare_ERROR".
std::string GetInstallPath();

// Clear `names`, then fill it with the installed printers (in the spooler's
// order) whose driver is the product's own, or with all the others. A
// printer that cannot be opened or read is left out of both.
void ListDriverPrinters(std::vector<std::string>& names);
void ListOtherPrinters(std::vector<std::string>& names);

// The bytes of the page files (extension exactly ".xqp") that `mask`
// matches in `folder` (with or without a trailing '/'); with `recurse`, also
// those of the subfolders whose names do not begin with '.', each searched
// with the mask "*.xqp" (so only folders named like page files go deeper).
// Masks match without regard to case, as the system's file search does.
// 64-bit, so folders of 2 GiB and more are counted right.
int64_t PageFilesSize(const std::string& folder, const std::string& mask, bool recurse);

// Deletes the page files that `mask` ("/*.*": the mask begins with the
// separator) matches in `folder` (no trailing '/'), and those of its
// subfolders searched with "/*.xqp". Every file and folder visited loses its
// read-only state. A folder's walk stops at the first page file that cannot
// be deleted. Always true.
bool DeletePageFiles(const std::string& folder, const std::string& mask);

// Creates every folder named by a prefix of `path` that ends in '/' (so the
// last component of a path without a trailing '/' is not created). False
// when a creation failed; the folders made so far remain. A path beginning
// with "//" is created as one folder, failures ignored, and gives true.
bool ForceFolders(const std::string& path);

// Copies `source` over `target` when the target's folder exists or can be
// made and the source exists; the box "Copy File Error" when the copy fails.
void CopyFileTo(const std::string& source, const std::string& target);

// The size of a file; 0 for one that is missing, a folder, or hidden (a
// name beginning with '.'). 64-bit: files of 2 GiB and more keep their size.
int64_t FileSizeOf(const std::string& path);

// A box with the system's text for `code` under the caption
// tag + " - " + the code in unsigned decimal.
void ShowErrorCode(uint32_t code, const std::string& tag);

// Creates a device context for the printer and starts a document on it.
// True with both handed back; otherwise the box "Can't connect the
// printer!" (caption "Error"), false, and nothing left open.
bool OpenPrinterDoc(const std::string& printer, const std::string& document, HDC& dc,
                    int32_t& jobId);
// Ends the document (aborts it when that fails) and deletes the context.
bool ClosePrinterDoc(HDC dc);
// Start or end a page. On failure: ShowErrorCode with the last error and
// "StartPage_Error" / "EndPage_Error", the document ended (or aborted),
// false; the caller still closes the context.
bool StartPrinterPage(HDC dc);
bool EndPrinterPage(HDC dc);

// The spooler's "DefaultSpoolDirectory", or "".
std::string GetDefaultSpoolDirectory();

// Points a new printer's "Settings\DataSavePath" at the install folder +
// "Images" and its "SpoolDirectory" at the default spool folder. Keys that
// cannot be opened are passed over silently.
void AssignPrinterFolders(const std::string& printer);

// Called about every 100 ms while RunAndWait waits: lets the user interface
// handle its pending events, and answers false when the program is ending,
// which stops the wait. The default hook does nothing and answers true.
using WaitHook = std::function<bool()>;
// Installs `hook` (an empty one restores the default); returns the old one.
WaitHook setRunAndWaitHook(WaitHook hook);

// Starts `program` (looked up in PATH when it has no '/') with `parameters`
// split at blanks outside double quotes, with no terminal input, and waits
// for it to end. False when it cannot be started.
bool RunAndWait(const std::string& program, const std::string& parameters);

// The machine's Windows folder without a trailing '/', or "".
std::string GetWindowsFolder();

// The path's short form. This platform has no short names, so the path
// comes back as it is.
std::string GetShortPath(const std::string& path);

// `value` rounded down to `digits` decimals; `value` itself when digits is
// 0 or less, or when the value has no digits that fine (too large for them,
// or digits beyond what a double holds).
double RoundDownTo(int32_t digits, double value);
