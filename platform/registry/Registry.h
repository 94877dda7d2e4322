#pragma once
// HKEY_LOCAL_MACHINE as the Reg* calls (ANSI forms) see it, kept in one file
// under the machine root (RegistryStore.h describes the file).
//
// The calls return the Windows error number (ERROR_SUCCESS on success) and,
// on failure, also set it as the thread's last error. What they share:
//  - Key paths use backslashes ("SOFTWARE\\Corvexa\\Folisto Brelvane"); one
//    trailing backslash is allowed, an empty name (a leading or doubled
//    backslash) gives ERROR_INVALID_PARAMETER. Key and value names compare
//    without regard to ASCII case and keep the case they were created with.
//  - Values are REG_SZ only: the active code page's bytes, stored exactly.
//  - Every call reads the store afresh, so changes made by other processes
//    are seen at once; every change re-reads it under the store's lock and
//    writes it atomically, so no process loses another's change.
//  - A handle names its key by path. When the key has been deleted (here or
//    by another process), calls through the handle give ERROR_KEY_DELETED;
//    when a key of the same path is created again, the handle reaches it.
//  - Handles keep the access they were opened with: reading values needs
//    KEY_QUERY_VALUE, changing them KEY_SET_VALUE, listing subkeys
//    KEY_ENUMERATE_SUB_KEYS and creating one KEY_CREATE_SUB_KEY on the
//    parent; otherwise ERROR_ACCESS_DENIED. HKEY_LOCAL_MACHINE has all.
//  - A store that cannot be written gives the error of what failed:
//    ERROR_ACCESS_DENIED (no permission), ERROR_DISK_FULL,
//    ERROR_FILE_TOO_LARGE, and so on. A store file that exists but is
//    damaged reads as empty and is never rewritten: changes give
//    ERROR_BADDB until it is mended or removed.

#include <cstdint>

#include "platform/system/ErrorCodes.h"

namespace platform {

using HKEY = struct HKEY__*;
using LSTATUS = uint32_t;  // a Windows error number, as ErrorCodes.h has them
using REGSAM = uint32_t;

// The one predefined key there is; other predefined keys are invalid handles.
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));

inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;  // accepted and ignored: there is one view
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;  // accepted and ignored
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr uint32_t REG_OPTION_NON_VOLATILE = 0;
inline constexpr uint32_t REG_CREATED_NEW_KEY = 1;
inline constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

// Opens an existing key; an empty or null subKey opens `key` itself anew.
// ERROR_FILE_NOT_FOUND when it does not exist (*result is then null).
LSTATUS RegOpenKeyEx(HKEY key, const char* subKey, uint32_t options, REGSAM access, HKEY* result);

// Opens the key, creating it and any missing parents first. `disposition`
// (may be null) tells which. The class, options and security arguments are
// accepted and ignored (every key is non-volatile).
LSTATUS RegCreateKeyEx(HKEY key, const char* subKey, uint32_t reserved, char* keyClass, uint32_t options,
                       REGSAM access, const void* securityAttributes, HKEY* result, uint32_t* disposition);

// Closes a handle; closing HKEY_LOCAL_MACHINE does nothing.
LSTATUS RegCloseKey(HKEY key);

// Reads a value; a null or empty name is the key's default value. *type
// (may be null) receives REG_SZ. The data comes with its terminating zero,
// and *dataSize is its size in bytes with the zero. With `data` null only
// the size is reported; when *dataSize is too small, ERROR_MORE_DATA, the
// size needed in *dataSize, and `data` untouched. `dataSize` may be null
// only when `data` is. ERROR_FILE_NOT_FOUND when the value does not exist.
LSTATUS RegQueryValueEx(HKEY key, const char* valueName, uint32_t* reserved, uint32_t* type, uint8_t* data,
                        uint32_t* dataSize);

// Sets a REG_SZ value to the `dataSize` bytes at `data` less one
// terminating zero when they end in one (as callers pass strlen + 1); other
// zero bytes are kept. Another type gives ERROR_NOT_SUPPORTED. An existing
// value keeps the case of its name.
LSTATUS RegSetValueEx(HKEY key, const char* valueName, uint32_t reserved, uint32_t type, const uint8_t* data,
                      uint32_t dataSize);

LSTATUS RegDeleteValue(HKEY key, const char* valueName);

// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has, as on
// Windows). An empty subKey deletes `key` itself; HKEY_LOCAL_MACHINE cannot
// be deleted (ERROR_ACCESS_DENIED). Deleting needs no right on the handle:
// Windows checks the deleted key's own right to be deleted, which every key
// here grants.
LSTATUS RegDeleteKey(HKEY key, const char* subKey);

// Deletes a key with all its subkeys and values; a null or empty subKey
// deletes everything below `key` and its values but keeps `key`.
LSTATUS RegDeleteTree(HKEY key, const char* subKey);

// The index-th subkey's name. Subkeys are listed sorted as Windows lists
// them: ASCII letters folded to upper case, then byte order. *nameLength is
// the size of `name` in bytes with room for the terminating zero; on
// success it receives the name's length without the zero, on
// ERROR_MORE_DATA the size needed with it. ERROR_NO_MORE_ITEMS past the
// last. The class comes back empty when asked for; lastWriteTime is left
// untouched (no times are kept).
LSTATUS RegEnumKeyEx(HKEY key, uint32_t index, char* name, uint32_t* nameLength, uint32_t* reserved = nullptr,
                     char* keyClass = nullptr, uint32_t* classLength = nullptr, void* lastWriteTime = nullptr);

// The index-th value, in creation order: its name as RegEnumKeyEx gives
// names, and its type and data as RegQueryValueEx gives them (type, data
// and dataSize may be null). When either buffer is too small nothing is
// copied: ERROR_MORE_DATA, with the sizes needed, each with its zero, in
// *valueNameLength and *dataSize.
LSTATUS RegEnumValue(HKEY key, uint32_t index, char* valueName, uint32_t* valueNameLength, uint32_t* reserved,
                     uint32_t* type, uint8_t* data, uint32_t* dataSize);

}  // namespace platform
