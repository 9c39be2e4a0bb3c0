// What set-up needs from the system: a few file operations on whole files and a Yes/No prompt.
// Each file operation either succeeds or throws AppError naming the operation, the file and
// the system's reason; none is retried or forced.
#pragma once

#include <string>
#include <string_view>

namespace zn {

class SetupHost {
public:
    virtual ~SetupHost() = default;
    virtual bool IsFile(const std::wstring& path) = 0; // true for an existing file, not a folder
    // True for a copy of this program, of any version (told by its version resource); false
    // for anything else and for no file. A file that exists but cannot be read fails: what
    // cannot be checked is never deleted or replaced.
    virtual bool IsThisProgram(const std::wstring& path) = 0;
    virtual void RemoveFile(const std::wstring& path) = 0; // fails on a read-only file
    virtual void RenameFile(const std::wstring& from,
                            const std::wstring& to) = 0; // fails when `to` exists
    virtual void CopyFileOver(const std::wstring& from,
                              const std::wstring& to) = 0;                      // replaces `to`
    virtual bool AskYesNo(std::wstring_view text, std::wstring_view title) = 0; // true only for Yes
};

} // namespace zn
