// Planted beside the tool under the names of DLLs that a program may load from its own folder.
// Whenever a process loads it, it leaves "<its own path>.loaded" beside itself, so a test can
// tell that code from the tool's folder ran.
#include <windows.h>

#include <cwchar>
#include <iterator>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        constexpr wchar_t kSuffix[] = L".loaded";
        wchar_t marker[MAX_PATH + std::size(kSuffix)] = {};
        const DWORD length = GetModuleFileNameW(self, marker, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            std::wmemcpy(marker + length, kSuffix, std::size(kSuffix));
            const HANDLE file =
                CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                CloseHandle(file);
            }
        }
    }
    return TRUE;
}
