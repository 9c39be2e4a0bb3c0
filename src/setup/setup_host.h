// What set-up needs from the system: its own running image, telling files apart, a few operations
// on whole files, a lock that keeps a second set-up out, and a Yes/No prompt. Each file operation
// either succeeds or throws AppError naming the operation, the file and the system's reason; none
// is retried or forced.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zn {

// The advice with an operation refused on a read-only file: the one refusal of a file that
// neither administrator rights nor closing a program cures.
inline constexpr std::wstring_view kClearReadOnlyAdvice =
    L"ファイルの読み取り専用属性を解除してから、もう一度実行してください。";

// What a file is, told from its bytes.
enum class FileKind {
    None,        // nothing there, or a folder
    Other,       // a file that is no Windows program: empty, a text, a script, a DLL
    Program,     // a Windows program that is not this one (the system Notepad, say)
    ThisProgram, // a copy of this program, of any version (told by its version resource)
};

// Held while a set-up works on the Windows folder; letting go of it lets the next one in.
class SetupLock {
public:
    virtual ~SetupLock() = default;
};

class SetupHost {
public:
    virtual ~SetupHost() = default;
    // Opens the file the process runs from so that nobody can change, rename or delete it until
    // set-up ends, and makes sure that it is that very file. Throws when either fails: set-up
    // installs nothing it cannot be sure is this program.
    virtual void HoldRunningImage() = 0;
    // A path in `folder` for a new file named by TemporaryFileName; no file is there yet.
    virtual std::wstring TemporaryPath(const std::wstring& folder) = 0;
    // Writes the held image into the new file `to` (fails when `to` exists); leaves no file
    // behind when it fails.
    virtual void WriteProgramCopy(const std::wstring& to) = 0;
    // The files of `folder` named as IsTemporaryFileName takes them.
    virtual std::vector<std::wstring> TemporaryFiles(const std::wstring& folder) = 0;
    virtual bool IsFile(const std::wstring& path) = 0; // true for an existing file, not a folder
    virtual bool IsReadOnly(const std::wstring& path) = 0; // false when there is no such file
    // A file that exists but cannot be read fails: what cannot be checked is never deleted or
    // replaced.
    virtual FileKind Inspect(const std::wstring& path) = 0;
    // True when both are files with the same bytes; false when either is missing. Fails when
    // either cannot be read.
    virtual bool SameBytes(const std::wstring& a, const std::wstring& b) = 0;
    virtual void CopyFileExclusive(const std::wstring& from,
                                   const std::wstring& to) = 0; // fails when `to` exists
    virtual void MoveFileExclusive(const std::wstring& from,
                                   const std::wstring& to) = 0; // fails when `to` exists
    // Puts `from` in the place of `to` in one step: afterwards either `to` holds what `from`
    // held and `from` is gone, or nothing changed. Refuses a read-only `to`.
    virtual void MoveFileOver(const std::wstring& from, const std::wstring& to) = 0;
    // Refuses a read-only file; the system refuses a running program.
    virtual void RemoveFile(const std::wstring& path) = 0;
    // The lock of all set-ups on the machine, whatever their session; nullptr while another
    // set-up holds it.
    virtual std::unique_ptr<SetupLock> LockSetup() = 0;
    virtual bool AskYesNo(std::wstring_view text, std::wstring_view title) = 0; // true only for Yes
};

} // namespace zn
