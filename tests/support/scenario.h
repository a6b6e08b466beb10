// Throwaway folders in which the built tool runs as a child process, as it would on a machine:
// the exe copied in beside the scenario's files, standard output to a file or a pipe.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace testing_support {

enum class Capture {
    kFile,
    kPipe,
    kClosedPipe,  // a pipe whose reader is gone before the tool starts: nothing is captured
    kNone,        // no standard output handle at all
};

struct RunResult {
    std::string out;  // the exact bytes of standard output
    std::string err;  // the exact bytes of standard error
    DWORD exitCode = 0;
    bool finished = false;  // false: killed after the time limit
};

// The folder that holds the test program, and the built tool, and the stand-in installer.
std::filesystem::path BuildOutputFolder();

// UTF-16LE bytes with a byte-order mark, as Notepad saves "Unicode" text.
std::string Utf16LeWithBom(const std::wstring& text);

// The bytes that the tool writes for a UTF-16 text: one per unit, '?' above 0xFF.
std::string ToolBytes(const std::wstring& text);

// The bytes of standard error for a UTF-16 text, to a file or pipe: UTF-8.
std::string Utf8(const std::wstring& text);

// The system's text for `error` on one line, its insert filled by the system with `insert`.
std::wstring SystemText(DWORD error, const std::wstring& insert = {});

// The tool's line on standard error, to a file or pipe, for `what` failing with `error`.
std::string ErrorLine(const std::wstring& what, DWORD error, const std::wstring& insert = {});

// Sets an environment variable of the test process (and so of the tool and its installer)
// until the end of the scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const std::wstring& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::wstring name_;
};

class Scenario {
public:
    // A new, empty folder under the temporary folder; `label` becomes part of its name.
    explicit Scenario(const std::wstring& label = L"run");
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path ToolPath() const { return folder_ / L"CpuDriverCheck.exe"; }
    std::filesystem::path InstallerPath() const { return folder_ / L"ZEL.exe"; }
    // Where Run() sends standard output when it captures to a file.
    std::filesystem::path OutputPath() const { return folder_ / L".stdout"; }
    std::filesystem::path ErrorPath() const { return folder_ / L".stderr"; }

    // Writes `bytes` to a file in the folder (subfolders are created).
    void WriteFile(const std::wstring& name, const std::string& bytes) const;
    std::string ReadFile(const std::wstring& name) const;
    bool Exists(const std::wstring& name) const;
    // Copies a program from the build output into the folder under `name`.
    void CopyProgram(const std::wstring& builtName, const std::wstring& name) const;
    // Puts the tests' stand-in installer into the folder as ZEL.exe.
    void AddStandInInstaller() const { CopyProgram(L"stand_in_installer.exe", L"ZEL.exe"); }
    // What the tool writes after its decision when it runs the installer of this folder.
    std::string LaunchReport() const;

    // Runs the copied tool, waiting at most `limitMs`. `arguments` follow the quoted exe name.
    RunResult Run(Capture capture = Capture::kFile, const std::filesystem::path& workingFolder = {},
                  DWORD limitMs = 60000, const std::wstring& arguments = {}) const;

private:
    std::filesystem::path folder_;
};

}  // namespace testing_support
