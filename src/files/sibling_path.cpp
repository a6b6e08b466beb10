#include "files/sibling_path.h"

#include <cwchar>
#include <iterator>

namespace files {

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

bool BuildSiblingPath(const wchar_t* name, PathBuffer& result)
{
    return BuildSiblingPath(name, result, GetModuleFileNameW);
}

bool BuildSiblingPath(const wchar_t* name, PathBuffer& result, ModulePathReader readModulePath)
{
    std::wmemset(result, L'\0', std::size(result));

    PathBuffer modulePath{};
    const DWORD length = readModulePath(nullptr, modulePath, static_cast<DWORD>(std::size(modulePath)));
    if (length == 0) {
        return false;
    }
    // A result that fills the buffer means the path was cut short (and, on older systems, left
    // without a terminator): it names some other folder, so it must not be used.
    if (length >= std::size(modulePath)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    modulePath[length] = L'\0';

    const wchar_t* const separator = FindLastChar(modulePath, kDirectorySeparator);
    if (separator == nullptr) {
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

}  // namespace files
