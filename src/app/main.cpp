// CpuDriverCheck: installs the processor driver when the installed one is not the expected one.
// Takes no arguments and no input; always exits with 0.
#include <windows.h>

#include "app/check_pass.h"
#include "console/output.h"

// Called by name by the C runtime's Unicode start-up; declared so that every function with
// external linkage has a declaration before it (clang's -Wmissing-prototypes).
int wmain(int, wchar_t**, wchar_t**);

int wmain(int, wchar_t**, wchar_t**)
{
    // The tool runs as SYSTEM from folders that others may be able to write to: every library
    // loaded from here on, and every library that those load, comes from the system folder only.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    app::RunCheckPass();
    console::FlushOutput();
    return 0;
}
