// Paths of the files that lie beside the running executable.
#pragma once

#include <windows.h>

#include <cstddef>

namespace files {

constexpr std::size_t kPathCapacity = MAX_PATH;  // code units, terminator included
using PathBuffer = wchar_t[kPathCapacity];

// The longest path the platform reports for a module (32,767 units) and a terminator.
constexpr std::size_t kModulePathCapacity = 32768;

constexpr wchar_t kDirectorySeparator = L'\\';

// The platform's way of reading a module's path (GetModuleFileNameW's shape).
using ModulePathReader = DWORD(WINAPI*)(HMODULE module, LPWSTR buffer, DWORD capacity);

// The position of the last `unit` in the zero-terminated `text`, searching from the terminator
// back to the start (so searching for L'\0' finds the terminator); nullptr when absent.
const wchar_t* FindLastChar(const wchar_t* text, wchar_t unit);

// The running executable's whole path: in `shortPath` when it fits there, as nearly every path
// does, otherwise in a buffer of kModulePathCapacity units of this module's own. nullptr, with
// the reason in the thread's last error, when it cannot be read whole.
wchar_t* ReadModulePath(PathBuffer& shortPath, ModulePathReader readModulePath);

// Writes the running executable's folder, backslash included, followed by `name` into `result`.
// Returns false, with `result` empty and the reason in the thread's last error, when the
// executable's path cannot be read, holds no backslash, is not fully qualified (a drive letter,
// colon and backslash, or two backslashes), or the joined path does not fit in kPathCapacity
// units.
bool BuildSiblingPath(const wchar_t* name, PathBuffer& result);

// As above, with the module path read by `readModulePath` (tests pass a scripted one).
bool BuildSiblingPath(const wchar_t* name, PathBuffer& result, ModulePathReader readModulePath);

// One line on standard error: what was not done (`consequence`, such as "the installer was not
// started") and why the path of `name` could not be formed, with the folder it was to be in.
// `error` is the reason BuildSiblingPath left.
void ReportSiblingPathFailure(const wchar_t* consequence, const wchar_t* name, DWORD error,
                              ModulePathReader readModulePath);

}  // namespace files
