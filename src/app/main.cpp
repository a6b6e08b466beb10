// CpuDriverCheck: installs the processor driver when the installed one is not the expected one.
// Takes no arguments and no input; always exits with 0.
#include "app/check_pass.h"
#include "console/output.h"

int wmain(int, wchar_t**, wchar_t**)
{
    app::RunCheckPass();
    console::FlushOutput();
    return 0;
}
