#include "files/sibling_path.h"

#include <cwchar>
#include <iterator>

#include "console/decimal_text.h"
#include "console/error_line.h"

namespace files {

namespace {

// Reads the module path into `buffer`. False, with the reason as the last error, when it cannot
// be read or was cut short: a cut path names some other folder (and on older systems it is not
// even terminated).
bool ReadModulePathInto(ModulePathReader readModulePath, wchar_t* buffer, std::size_t capacity)
{
    const DWORD length = readModulePath(nullptr, buffer, static_cast<DWORD>(capacity));
    if (length == 0) {
        return false;
    }
    if (length >= capacity) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    buffer[length] = L'\0';
    return true;
}

// A drive letter, a colon and a backslash, or two backslashes (a share, or a \\?\ path). Any other
// path is taken relative to the working folder or drive, which must never supply the tool's
// companions (Wine reports a start from a share as "UNC\server\share\...").
bool IsFullyQualified(const wchar_t* path)
{
    const bool driveLetter = (path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z');
    return (driveLetter && path[1] == L':' && path[2] == kDirectorySeparator) ||
           (path[0] == kDirectorySeparator && path[1] == kDirectorySeparator);
}

}  // namespace

const wchar_t* FindLastChar(const wchar_t* text, wchar_t unit)
{
    const wchar_t* position = text + std::wcslen(text);
    for (;;) {
        if (*position == unit) {
            return position;
        }
        if (position == text) {
            return nullptr;
        }
        --position;
    }
}

wchar_t* ReadModulePath(PathBuffer& shortPath, ModulePathReader readModulePath)
{
    if (ReadModulePathInto(readModulePath, shortPath, std::size(shortPath))) {
        return shortPath;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return nullptr;
    }
    // Static: 64 KiB is too much for the stack, and the tool has one thread.
    static wchar_t wholePath[kModulePathCapacity];
    return ReadModulePathInto(readModulePath, wholePath, std::size(wholePath)) ? wholePath : nullptr;
}

bool BuildSiblingPath(const wchar_t* name, PathBuffer& result)
{
    return BuildSiblingPath(name, result, GetModuleFileNameW);
}

bool BuildSiblingPath(const wchar_t* name, PathBuffer& result, ModulePathReader readModulePath)
{
    std::wmemset(result, L'\0', std::size(result));

    PathBuffer shortPath;
    const wchar_t* const modulePath = ReadModulePath(shortPath, readModulePath);
    if (modulePath == nullptr) {
        return false;
    }
    const wchar_t* const separator = FindLastChar(modulePath, kDirectorySeparator);
    if (separator == nullptr || !IsFullyQualified(modulePath)) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    const std::size_t prefixLength = static_cast<std::size_t>(separator - modulePath) + 1;
    const std::size_t nameLength = std::wcslen(name);
    if (prefixLength + nameLength + 1 > std::size(result)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }

    std::wmemcpy(result, modulePath, prefixLength);
    std::wmemcpy(result + prefixLength, name, nameLength + 1);
    return true;
}

void ReportSiblingPathFailure(const wchar_t* consequence, const wchar_t* name, DWORD error,
                              ModulePathReader readModulePath)
{
    PathBuffer shortPath;
    wchar_t* const modulePath = ReadModulePath(shortPath, readModulePath);
    const wchar_t* const separator = modulePath == nullptr ? nullptr : FindLastChar(modulePath, kDirectorySeparator);
    if (error == ERROR_FILENAME_EXCED_RANGE && separator != nullptr) {
        modulePath[separator - modulePath] = L'\0';  // the folder, without its final backslash
        const console::DecimalText longest(static_cast<unsigned long>(kPathCapacity - 1));
        console::ReportError(L"%s: the path of %s in the folder \"%s\" would be longer than %s characters",
                             {consequence, name, modulePath, longest.Text()}, error, name);
    } else if (error == ERROR_BAD_PATHNAME && separator == nullptr && modulePath != nullptr) {
        console::ReportError(L"%s: the tool's own path \"%s\" names no folder", {consequence, modulePath}, error,
                             modulePath);
    } else if (error == ERROR_BAD_PATHNAME && modulePath != nullptr) {
        console::ReportError(L"%s: the tool's own path \"%s\" is not a full path", {consequence, modulePath}, error,
                             modulePath);
    } else {
        console::ReportError(L"%s: the tool's own path could not be read", {consequence}, error);
    }
}

}  // namespace files
