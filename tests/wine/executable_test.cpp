// The built ZanvekNotepad.exe as a file: its resources and the hardening in its PE headers.
#include "wine/built_program.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace zn {
namespace {

std::vector<unsigned char> ReadFile(const std::wstring& path)
{
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    std::vector<unsigned char> bytes;
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(::GetFileSize(file, nullptr));
    DWORD read = 0;
    ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

std::wstring VersionString(const std::vector<BYTE>& info, const wchar_t* name)
{
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
    if (!::VerQueryValueW(info.data(), query.c_str(), &value, &length) || length == 0)
        return L"<none>";
    return static_cast<const wchar_t*>(value);
}

TEST(Executable, VersionResourceReadsBackAsItIsMeantTo)
{
    const std::wstring path = BuiltProgramPath();
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u) << "no version resource in " << path;
    std::vector<BYTE> info(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(1, 1)); // 1.1
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);             // .0.0
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(1, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);

    EXPECT_EQ(VersionString(info, L"FileVersion"), L"1.01");
    EXPECT_EQ(VersionString(info, L"ProductVersion"), L"1.01");
    EXPECT_EQ(VersionString(info, L"ProductName"), L"ZanvekNotepad");
    EXPECT_EQ(VersionString(info, L"InternalName"), L"ZanvekNotepad");
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"ZanvekNotepad.exe");

    struct Translation {
        WORD language, codePage;
    };
    Translation* translation = nullptr;
    ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, sizeof(Translation));
    EXPECT_EQ(translation->language, 0x0411);
    EXPECT_EQ(translation->codePage, 1200);
}

TEST(Executable, CarriesOneIconOf32By32In256ColoursAndNoManifest)
{
    const HMODULE image =
        ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr,
                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr);
    std::set<ULONG_PTR> types;
    ::EnumResourceTypesW(
        image,
        [](HMODULE, LPWSTR type, LONG_PTR found) -> BOOL {
            if (IS_INTRESOURCE(type))
                reinterpret_cast<std::set<ULONG_PTR>*>(found)->insert(
                    reinterpret_cast<ULONG_PTR>(type));
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&types));
    EXPECT_EQ(types.count(24), 0u) << "RT_MANIFEST"; // RT_MANIFEST
    EXPECT_EQ(types.count(reinterpret_cast<ULONG_PTR>(RT_GROUP_ICON)), 1u);
    EXPECT_EQ(types.count(reinterpret_cast<ULONG_PTR>(RT_VERSION)), 1u);

    const HRSRC group = ::FindResourceW(image, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const auto* directory = static_cast<const BYTE*>(::LockResource(::LoadResource(image, group)));
    ASSERT_NE(directory, nullptr);
    // GRPICONDIR: reserved, type, count; then one 14-byte entry per image.
    WORD count = 0;
    std::memcpy(&count, directory + 4, 2);
    ASSERT_EQ(count, 1);
    const BYTE* entry = directory + 6;
    EXPECT_EQ(entry[0], 32); // width
    EXPECT_EQ(entry[1], 32); // height
    WORD bitCount = 0;
    std::memcpy(&bitCount, entry + 6, 2);
    EXPECT_EQ(bitCount, 8); // 256 colours
    ::FreeLibrary(image);
}

// A minimal reader of the PE headers.
class PeFile {
public:
    explicit PeFile(std::vector<unsigned char> bytes) : m_bytes(std::move(bytes))
    {
        if (m_bytes.size() < sizeof(IMAGE_DOS_HEADER)) return;
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(m_bytes.data());
        if (dos->e_magic != IMAGE_DOS_SIGNATURE ||
            static_cast<std::size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > m_bytes.size())
            return;
        m_nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(m_bytes.data() + dos->e_lfanew);
        if (m_nt->Signature != IMAGE_NT_SIGNATURE ||
            m_nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
            m_nt = nullptr;
    }
    bool Valid() const { return m_nt != nullptr; }
    const IMAGE_NT_HEADERS64& Nt() const { return *m_nt; }
    std::vector<IMAGE_SECTION_HEADER> Sections() const
    {
        const auto* first = IMAGE_FIRST_SECTION(m_nt);
        return {first, first + m_nt->FileHeader.NumberOfSections};
    }
    // A pointer to the bytes at a relative virtual address, or nullptr outside every section.
    const unsigned char* At(DWORD rva) const
    {
        for (const IMAGE_SECTION_HEADER& section : Sections()) {
            const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + size) {
                const std::size_t offset = rva - section.VirtualAddress + section.PointerToRawData;
                return offset < m_bytes.size() ? m_bytes.data() + offset : nullptr;
            }
        }
        return nullptr;
    }
    // Load-time imports: DLL name (lower case) and the names of the functions taken from it.
    std::vector<std::pair<std::string, std::vector<std::string>>> Imports() const
    {
        std::vector<std::pair<std::string, std::vector<std::string>>> imports;
        const IMAGE_DATA_DIRECTORY& directory =
            m_nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* descriptor =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(At(directory.VirtualAddress));
             descriptor != nullptr && descriptor->Name != 0; ++descriptor) {
            std::string dll = reinterpret_cast<const char*>(At(descriptor->Name));
            std::transform(dll.begin(), dll.end(), dll.begin(),
                           [](unsigned char c) { return std::tolower(c); });
            std::vector<std::string> functions;
            const DWORD thunks = descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk
                                                                : descriptor->FirstThunk;
            for (auto* thunk = reinterpret_cast<const ULONGLONG*>(At(thunks));
                 thunk != nullptr && *thunk != 0; ++thunk) {
                if (*thunk & IMAGE_ORDINAL_FLAG64) continue;
                functions.emplace_back(
                    reinterpret_cast<const char*>(At(static_cast<DWORD>(*thunk) + 2)));
            }
            imports.emplace_back(dll, functions);
        }
        return imports;
    }

private:
    std::vector<unsigned char> m_bytes;
    const IMAGE_NT_HEADERS64* m_nt = nullptr;
};

TEST(Executable, IsHardened)
{
    const PeFile pe(ReadFile(BuiltProgramPath()));
    ASSERT_TRUE(pe.Valid());
    const WORD dll = pe.Nt().OptionalHeader.DllCharacteristics;
    const struct {
        WORD bit;
        const char* why;
    } flags[] = {
        {IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "ASLR"},
        {IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA, "high-entropy ASLR"},
        {IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "DEP"},
        // Without it a Remote Desktop server gives the program a Windows folder per user.
        {IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE, "Remote Desktop aware"},
    };
    for (const auto& flag : flags)
        EXPECT_EQ(static_cast<WORD>(dll & flag.bit), flag.bit) << flag.why;
    EXPECT_EQ(pe.Nt().FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED, 0)
        << "relocations kept for ASLR";
    EXPECT_NE(pe.Nt().OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
    EXPECT_EQ(pe.Nt().OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    for (const IMAGE_SECTION_HEADER& section : pe.Sections()) {
        const std::string name(reinterpret_cast<const char*>(section.Name),
                               strnlen(reinterpret_cast<const char*>(section.Name), 8));
        EXPECT_FALSE((section.Characteristics & IMAGE_SCN_MEM_EXECUTE) &&
                     (section.Characteristics & IMAGE_SCN_MEM_WRITE))
            << "section " << name << " is executable and writable";
    }
}

TEST(Executable, ImportsAtLoadTimeOnlyFromKnownSystemDllsAndRestrictsDllSearch)
{
    const PeFile pe(ReadFile(BuiltProgramPath()));
    ASSERT_TRUE(pe.Valid());
    // DLLs that Windows always maps from its own folder (KnownDLLs), never from the program's.
    // mingw-w64's C runtime is the system's msvcrt.dll; MSVC's is linked in (/MT), so an MSVC
    // build that imports a C runtime DLL (msvcrt, ucrtbase, vcruntime) lost its static runtime.
#ifdef _MSC_VER
    const std::set<std::string> known = {"kernel32.dll", "advapi32.dll"};
#else
    const std::set<std::string> known = {"kernel32.dll", "advapi32.dll", "msvcrt.dll"};
#endif
    bool restrictsSearch = false;
    for (const auto& [dll, functions] : pe.Imports()) {
        EXPECT_TRUE(known.count(dll)) << dll << " is imported at load time";
        if (dll == "kernel32.dll")
            restrictsSearch = std::find(functions.begin(), functions.end(),
                                        "SetDefaultDllDirectories") != functions.end();
    }
    EXPECT_TRUE(restrictsSearch) << "SetDefaultDllDirectories is not used";
}

TEST(Executable, StaysWithinItsSizeLimit)
{
    // One small file to put in the Windows folder; a larger one would mean the C++ runtime's
    // demangler or another heavy part of a library has crept back in.
    EXPECT_LE(ReadFile(BuiltProgramPath()).size(), 256u * 1024u);
}

} // namespace
} // namespace zn
