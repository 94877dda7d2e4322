#pragma once
// Message boxes. Every box the libraries and the program show goes through
// MessageBoxA, which hands it to the current presenter: a Qt dialog in the
// program, a recorder in tests, standard error in command-line tools (the
// default).

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

inline constexpr uint32_t MB_OK = 0x00000000;
inline constexpr uint32_t MB_OKCANCEL = 0x00000001;
inline constexpr uint32_t MB_YESNO = 0x00000004;
inline constexpr uint32_t MB_ICONERROR = 0x00000010;
inline constexpr uint32_t MB_ICONQUESTION = 0x00000020;
inline constexpr uint32_t MB_ICONWARNING = 0x00000030;
inline constexpr uint32_t MB_ICONINFORMATION = 0x00000040;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxRequest {
  std::string text;     // ANSI, in the active code page
  std::string caption;  // ANSI, in the active code page
  uint32_t type = MB_OK;
};

// Shows the box and returns the button pressed (IDOK ...).
using MessagePresenter = std::function<int(const MessageBoxRequest&)>;

// Installs `presenter` (an empty one restores the default) and returns the
// one it replaces.
MessagePresenter setMessagePresenter(MessagePresenter presenter);

// The default presenter: "caption: text" on standard error, converted from
// the active code page to UTF-8; answers IDOK (or IDYES for yes/no boxes).
int presentOnStderr(const MessageBoxRequest& request);

// MessageBoxA: `owner` is accepted and ignored (boxes are never owned here).
int MessageBoxA(const void* owner, const char* text, const char* caption, uint32_t type);

}  // namespace platform
