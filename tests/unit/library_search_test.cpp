#include "app/library_search.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

// planted.dll lies beside the test programs. The restriction holds for the whole process that
// puts it in force, so that is a process of its own; the plant is shown to work first.
TEST(LibrarySearch, ADllBesideTheProgramNoLongerLoadsByItsName)
{
    const HMODULE control = LoadLibraryW(L"planted.dll");
    ASSERT_NE(control, nullptr) << "error " << GetLastError() << ": the test would prove nothing";
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(control, path, MAX_PATH);
    FreeLibrary(control);
    DeleteFileW((std::wstring(path) + L".loaded").c_str());  // the plant's mark of having been loaded
    EXPECT_EXIT(
        {
            app::RestrictLibraryLoadsToSystemFolder();
            std::_Exit(LoadLibraryW(L"planted.dll") == nullptr ? static_cast<int>(GetLastError()) : 0);
        },
        testing::ExitedWithCode(ERROR_MOD_NOT_FOUND), "");
}

}  // namespace
