#include "common/editor_probe_win32.h"

#include "common/error_report_win32.h"
#include "common/full_path.h"
#include "common/pe_image.h"
#include "setup/version_resource.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace zn {
namespace {

constexpr wchar_t kCannotRead[] = L"エディタのファイルを読めませんでした。";
// Resource directories lie together at the start of the resource section: one read of this
// much usually takes in every level on the way to the version resource.
constexpr std::size_t kReadAhead = 8192;

// Up to `count` bytes at `offset`; fewer only at the file's end.
std::vector<std::uint8_t> ReadAtOffset(HANDLE file, const std::wstring& path, std::uint64_t offset,
                                       std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    std::size_t filled = 0;
    while (filled < count) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + filled;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD read = 0;
        if (!::ReadFile(file, bytes.data() + filled, static_cast<DWORD>(count - filled), &read,
                        &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) break;
            FailWithLastError(kCannotRead, path);
        }
        if (read == 0) break;
        filled += read;
    }
    bytes.resize(filled);
    return bytes;
}

// The version resource, read through what is already in `head` and one window ahead.
std::vector<std::uint8_t> ReadVersionResource(HANDLE file, const std::wstring& path,
                                              const std::vector<std::uint8_t>& head)
{
    std::vector<std::uint8_t> window;
    std::uint64_t windowAt = 0;
    const auto inside = [](const std::vector<std::uint8_t>& bytes, std::uint64_t bytesAt,
                           std::uint64_t offset, std::size_t size) {
        return offset >= bytesAt && offset - bytesAt <= bytes.size() &&
               bytes.size() - (offset - bytesAt) >= size;
    };
    const auto piece = [](const std::vector<std::uint8_t>& bytes, std::uint64_t from,
                          std::size_t size) {
        const auto start = bytes.begin() + static_cast<std::ptrdiff_t>(from);
        return std::vector<std::uint8_t>(start, start + static_cast<std::ptrdiff_t>(size));
    };
    return FindVersionResource([&](std::uint64_t offset, std::size_t size) {
        if (inside(head, 0, offset, size)) return piece(head, offset, size);
        if (!inside(window, windowAt, offset, size)) {
            window = ReadAtOffset(file, path, offset, std::max(size, kReadAhead));
            windowAt = offset;
            size = std::min(size, window.size());
        }
        return piece(window, offset - windowAt, size);
    });
}

EditorFile ProbeUnopened(const std::wstring& path, const std::wstring& win32Path)
{
    UnopenedPath answers;
    answers.openError = ::GetLastError();
    if (answers.openError == kErrorCantAccessFile) {
        // The reparse point itself opens: an app execution alias shows its tag there.
        const UniqueFile link(::CreateFileW(
            win32Path.c_str(), FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (link &&
            ::GetFileInformationByHandleEx(link.get(), FileAttributeTagInfo, &tag, sizeof(tag)) &&
            (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            answers.reparseTag = tag.ReparseTag;
    } else {
        const DWORD attributes = ::GetFileAttributesW(win32Path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) answers.attributes = attributes;
    }
    if (const auto probe = ProbeOfUnopened(answers)) return {*probe, {}, {}};
    ::SetLastError(answers.openError);
    FailWithLastError(L"エディタのファイルを開けませんでした。", path);
}

} // namespace

std::wstring Win32PathOf(const std::wstring& path)
{
    return path.size() >= kMaxPath ? ExtendedLengthPath(path) : path;
}

EditorFile ProbeEditor(const std::wstring& path, UniqueFile* held)
{
    const std::wstring win32Path = Win32PathOf(path);
    // Others may still read the file (another launch, the system starting it), but nobody may
    // change, rename or delete it while it is open. CreateFileW opens no folder this way.
    UniqueFile file(::CreateFileW(win32Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ProbeUnopened(path, win32Path);
    EditorFile editor{EditorProbe::File, ReadAtOffset(file.get(), path, 0, kProgramHeadBytes), {}};
    if (IsProgramImage(editor.head))
        editor.versionInfo = ReadVersionResource(file.get(), path, editor.head);
    if (held != nullptr) *held = std::move(file);
    return editor;
}

} // namespace zn
