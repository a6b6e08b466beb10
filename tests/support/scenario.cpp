#include "support/scenario.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

namespace testing_support {

namespace fs = std::filesystem;

namespace {

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Close(); }
    Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept
    {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    HANDLE Get() const { return handle_; }
    HANDLE* Receive()
    {
        Close();
        return &handle_;
    }
    void Close()
    {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
        handle_ = nullptr;
    }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_ = nullptr;
};

SECURITY_ATTRIBUTES Inheritable()
{
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = TRUE;
    return attributes;
}

Handle CreateInheritableFile(const fs::path& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES attributes = Inheritable();
    Handle file(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &attributes,
                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        throw std::runtime_error("cannot open " + path.string());
    }
    return file;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadPipeToEnd(HANDLE pipe)
{
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.append(chunk, got);
    }
    return bytes;
}

}  // namespace

fs::path BuildOutputFolder()
{
    wchar_t self[32768];
    const DWORD length = GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
    return fs::path(std::wstring(self, length)).parent_path();
}

std::string Utf16LeWithBom(const std::wstring& text)
{
    std::string bytes = "\xff\xfe";
    for (const wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    return bytes;
}

std::string ToolBytes(const std::wstring& text)
{
    std::string bytes;
    for (const wchar_t unit : text) {
        bytes += unit <= 0xFF ? static_cast<char>(unit) : '?';
    }
    return bytes;
}

std::string Utf8(const std::wstring& text)
{
    std::string bytes(3 * text.size(), '\0');  // a unit takes at most 3 bytes, a pair of them 4
    bytes.resize(
        static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                     bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

std::wstring SystemText(DWORD error, const std::wstring& insert)
{
    wchar_t text[2048] = {};
    DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(insert.c_str())};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr,
                   error, 0, text, static_cast<DWORD>(std::size(text)), reinterpret_cast<va_list*>(inserts));
    std::wstring line = text;
    return line.erase(line.find_last_not_of(L" \r\n") + 1);
}

std::string ErrorLine(const std::wstring& what, DWORD error, const std::wstring& insert)
{
    return "CpuDriverCheck: " + Utf8(what) + ": error " + std::to_string(error) + ": " +
           Utf8(SystemText(error, insert)) + "\r\n";
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name)
{
    SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), nullptr); }

Scenario::Scenario(const std::wstring& label)
{
    static std::atomic<unsigned> counter{0};
    std::wostringstream name;
    name << L"cdc-" << GetCurrentProcessId() << L"-" << GetTickCount64() << L"-" << counter++ << L"-" << label;
    folder_ = fs::temp_directory_path() / name.str();
    fs::create_directories(folder_);
    CopyProgram(L"CpuDriverCheck.exe", L"CpuDriverCheck.exe");
}

Scenario::~Scenario()
{
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

void Scenario::WriteFile(const std::wstring& name, const std::string& bytes) const
{
    const fs::path path = folder_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Scenario::ReadFile(const std::wstring& name) const { return ReadAll(folder_ / name); }

bool Scenario::Exists(const std::wstring& name) const { return fs::exists(folder_ / name); }

void Scenario::CopyProgram(const std::wstring& builtName, const std::wstring& name) const
{
    fs::copy_file(BuildOutputFolder() / builtName, folder_ / name, fs::copy_options::overwrite_existing);
}

std::string Scenario::LaunchReport() const
{
    return "zelPath: " + ToolBytes(InstallerPath().wstring()) + "\r\nStart Install\r\nFinish Install";
}

RunResult Scenario::Run(Capture capture, const fs::path& workingFolder, DWORD limitMs,
                        const std::wstring& arguments) const
{
    const fs::path outPath = OutputPath();
    const fs::path errPath = ErrorPath();
    Handle input = CreateInheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
    Handle error = CreateInheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    Handle output;
    Handle pipeRead;
    if (capture == Capture::kFile) {
        output = CreateInheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    } else if (capture != Capture::kNone) {
        SECURITY_ATTRIBUTES attributes = Inheritable();
        if (!CreatePipe(pipeRead.Receive(), output.Receive(), &attributes, 0)) {
            throw std::runtime_error("cannot create a pipe");
        }
        SetHandleInformation(pipeRead.Get(), HANDLE_FLAG_INHERIT, 0);
        if (capture == Capture::kClosedPipe) {
            pipeRead.Close();
        }
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.Get();
    startup.hStdOutput = output.Get();
    startup.hStdError = error.Get();
    std::wstring commandLine = L"\"" + ToolPath().wstring() + L"\"" + arguments;
    PROCESS_INFORMATION info{};
    const std::wstring cwd = workingFolder.empty() ? folder_.wstring() : workingFolder.wstring();
    if (!CreateProcessW(ToolPath().c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd.c_str(),
                        &startup, &info)) {
        throw std::runtime_error("cannot start the tool, error " + std::to_string(GetLastError()));
    }
    Handle process(info.hProcess);
    Handle thread(info.hThread);
    output.Close();  // the child holds the only write end now

    RunResult result;
    std::string piped;
    std::thread reader;
    if (capture == Capture::kPipe) {
        reader = std::thread([&] { piped = ReadPipeToEnd(pipeRead.Get()); });
    }
    result.finished = WaitForSingleObject(process.Get(), limitMs) == WAIT_OBJECT_0;
    if (!result.finished) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), INFINITE);
    }
    GetExitCodeProcess(process.Get(), &result.exitCode);
    if (reader.joinable()) {
        reader.join();
    }
    error.Close();
    input.Close();
    result.out = capture == Capture::kFile ? ReadAll(outPath) : piped;  // empty when nothing reads it
    result.err = ReadAll(errPath);
    std::error_code ignored;
    fs::remove(outPath, ignored);
    fs::remove(errPath, ignored);
    return result;
}

}  // namespace testing_support
