// CpuDriverCheck: installs the processor driver when the installed one is not the expected one.
// Takes no arguments and no input; always exits with 0.
#include "app/check_pass.h"
#include "app/library_search.h"
#include "console/standard_streams.h"

// Called by name by the C runtime's Unicode start-up; declared so that every function with
// external linkage has a declaration before it (clang's -Wmissing-prototypes).
int wmain(int, wchar_t**, wchar_t**);

int wmain(int, wchar_t**, wchar_t**)
{
    app::RestrictLibraryLoadsToSystemFolder();
    app::RunCheckPass();
    console::FlushOutput();
    return 0;
}
