// Stands in for the driver installer in end-to-end tests, copied into a scenario folder as
// ZEL.exe. It records what a real installer would see and does as the environment says:
//   CDC_STANDIN_REPORT  file to write the report to (UTF-8, one "key=value" line each)
//   CDC_STANDIN_WATCH   a file whose content at start is reported (the tool's output file)
//   CDC_STANDIN_SLEEP_MS   milliseconds to sleep before the last line
//   CDC_STANDIN_EXIT    exit code
//   CDC_STANDIN_CRASH   when set, ends with an access violation instead
//   CDC_STANDIN_SAY     when set, writes a line to its standard output and one to its error
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) {
        return {};
    }
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string ReadFileShared(const std::wstring& path)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "<unreadable>";
    }
    std::string content;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        content.append(chunk, got);
    }
    CloseHandle(file);
    return content;
}

std::string Escaped(const std::string& bytes)
{
    std::string out;
    for (const char c : bytes) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

int wmain()
{
    const std::wstring reportPath = Environment(L"CDC_STANDIN_REPORT");
    std::ofstream report;
    if (!reportPath.empty()) {
        report.open(reportPath.c_str(), std::ios::binary | std::ios::trunc);
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);

    report << "command_line=[" << Utf8(GetCommandLineW()) << "]\n"
           << "startup_flags=" << startup.dwFlags << "\n"
           << "show_window=" << startup.wShowWindow << "\n"
           << "working_folder=" << Utf8(cwd) << "\n"
           << "self=" << Utf8(self) << "\n";
    const std::wstring watched = Environment(L"CDC_STANDIN_WATCH");
    if (!watched.empty()) {
        report << "tool_output_at_start=" << Escaped(ReadFileShared(watched)) << "\n";
    }
    report.flush();

    if (!Environment(L"CDC_STANDIN_SAY").empty()) {
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "stand-in: standard output\r\n", 27, &written, nullptr);
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), "stand-in: standard error\r\n", 26, &written, nullptr);
    }
    const std::wstring sleep = Environment(L"CDC_STANDIN_SLEEP_MS");
    if (!sleep.empty()) {
        Sleep(static_cast<DWORD>(std::wcstoul(sleep.c_str(), nullptr, 10)));
    }
    if (!Environment(L"CDC_STANDIN_CRASH").empty()) {
        report << "crashing\n";
        report.flush();
        // A real access violation, ended as Windows ends it when no debugger or error report
        // steps in (Wine's automatic debugger would write its dump into the shared output).
        SetUnhandledExceptionFilter([](EXCEPTION_POINTERS*) -> LONG { return EXCEPTION_EXECUTE_HANDLER; });
        *static_cast<volatile int*>(nullptr) = 1;
    }
    report << "finished\n";
    report.close();
    return static_cast<int>(std::wcstol(Environment(L"CDC_STANDIN_EXIT").c_str(), nullptr, 10));
}
