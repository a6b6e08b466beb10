// The built CpuDriverCheck.exe as it ships: what it imports, its size, the loader's mitigations,
// its version resource and its manifest.
#include <gtest/gtest.h>

#include <windows.h>
#include <winver.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "support/scenario.h"

namespace {

std::wstring ToolPath() { return (testing_support::BuildOutputFolder() / L"CpuDriverCheck.exe").wstring(); }

std::string ReadBinary(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename T>
T At(const std::string& image, std::size_t offset)
{
    T value{};
    if (offset + sizeof value <= image.size()) {
        std::memcpy(&value, image.data() + offset, sizeof value);
    }
    return value;
}

// The headers, sections and imported DLL names of a 64-bit PE file.
struct PeImage {
    IMAGE_NT_HEADERS64 nt{};
    std::vector<IMAGE_SECTION_HEADER> sections;
    std::set<std::string> imports;  // lower-cased
};

PeImage ReadPe(const std::string& image)
{
    PeImage pe;
    const auto ntOffset = static_cast<std::size_t>(At<IMAGE_DOS_HEADER>(image, 0).e_lfanew);
    pe.nt = At<IMAGE_NT_HEADERS64>(image, ntOffset);
    const std::size_t sections =
        ntOffset + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) + pe.nt.FileHeader.SizeOfOptionalHeader;
    for (WORD i = 0; i < pe.nt.FileHeader.NumberOfSections; ++i) {
        pe.sections.push_back(At<IMAGE_SECTION_HEADER>(image, sections + i * sizeof(IMAGE_SECTION_HEADER)));
    }
    const auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (const IMAGE_SECTION_HEADER& section : pe.sections) {
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData) {
                return rva - section.VirtualAddress + section.PointerToRawData;
            }
        }
        return image.size();
    };
    const DWORD directory = pe.nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (std::size_t entry = fileOffset(directory);; entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto descriptor = At<IMAGE_IMPORT_DESCRIPTOR>(image, entry);
        if (descriptor.Name == 0) {
            break;
        }
        std::string name(image.c_str() + std::min(fileOffset(descriptor.Name), image.size()));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        pe.imports.insert(name);
    }
    return pe;
}

// Whatever the exe imports is loaded before wmain can say where DLLs may come from: only
// KnownDLLs, which Windows takes from the system folder whatever lies beside the exe.
TEST(ShippedExe, ImportsOnlyKnownDlls)
{
    const std::string image = ReadBinary(ToolPath());
    ASSERT_GT(image.size(), 0u);
    const std::set<std::string> imports = ReadPe(image).imports;
    EXPECT_EQ(imports.count("kernel32.dll"), 1u);
    // Imported, by name, only when wmain calls it: every later load then comes from the system folder.
    EXPECT_NE(image.find("SetDefaultDllDirectories"), std::string::npos) << "wmain restricts no library loads";
    for (const std::string& dll : imports) {
        const bool runtime = dll == "msvcrt.dll" || dll == "ucrtbase.dll" || dll.rfind("api-ms-win-crt-", 0) == 0;
        EXPECT_TRUE(dll == "kernel32.dll" || dll == "advapi32.dll" || runtime) << "unexpected import " << dll;
    }
#ifdef TOOL_SIZE_LIMIT
    EXPECT_LE(image.size(), static_cast<std::size_t>(TOOL_SIZE_LIMIT));
#endif
}

TEST(ShippedExe, CarriesTheLoadersMitigations)
{
    const PeImage pe = ReadPe(ReadBinary(ToolPath()));
    const WORD characteristics = pe.nt.OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) << "no ASLR";
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA) << "no high-entropy ASLR";
    EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT) << "no DEP";
    // Without relocations the loader cannot move the image, whatever the flag says.
    EXPECT_NE(pe.nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
    bool reloc = false;
    for (const IMAGE_SECTION_HEADER& section : pe.sections) {
        const std::string name(reinterpret_cast<const char*>(section.Name),
                               strnlen(reinterpret_cast<const char*>(section.Name), IMAGE_SIZEOF_SHORT_NAME));
        reloc = reloc || name == ".reloc";
        const DWORD writableCode = IMAGE_SCN_MEM_WRITE | IMAGE_SCN_MEM_EXECUTE;
        EXPECT_NE(section.Characteristics & writableCode, writableCode) << name << " is writable and executable";
    }
    EXPECT_TRUE(reloc) << "no .reloc section";
}

std::wstring VersionString(const std::wstring& path, const wchar_t* name)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::string data(size, '\0');
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, data.data())) {
        return L"<no version resource>";
    }
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(data.data(), key.c_str(), &value, &length) || length == 0) {
        return L"<missing>";
    }
    return static_cast<const wchar_t*>(value);
}

TEST(ShippedExe, CarriesItsVersionAndName)
{
    const std::wstring path = ToolPath();
    EXPECT_EQ(VersionString(path, L"FileVersion"), TOOL_VERSION_TEXT);
    EXPECT_EQ(VersionString(path, L"ProductVersion"), TOOL_VERSION_TEXT);
    EXPECT_EQ(VersionString(path, L"ProductName"), L"CpuDriverCheck");
    EXPECT_EQ(VersionString(path, L"OriginalFilename"), L"CpuDriverCheck.exe");
    EXPECT_NE(VersionString(path, L"FileDescription").find(L"processor driver"), std::wstring::npos);

    DWORD ignored = 0;
    std::string data(GetFileVersionInfoSizeW(path.c_str(), &ignored), '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(TOOL_VERSION_MAJOR << 16 | TOOL_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(TOOL_VERSION_PATCH << 16));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(ShippedExe, AsksForTheCallersRightsOnWindows10And11)
{
    const HMODULE module =
        LoadLibraryExW(ToolPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr) << "no application manifest";
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(bytes, SizeofResource(module, found));
    FreeLibrary(module);
    EXPECT_NE(manifest.find("requestedExecutionLevel level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"), std::string::npos)
        << manifest;
}

}  // namespace
