// An in-memory Windows folder with scripted answers to the prompts. A file's kind follows from
// its bytes, as on the system: bytes starting "MZ" are a Windows program, and those starting
// "MZ ZanvekNotepad" are this program (of any version). File operations fail the way the
// system's do: a missing source, a read-only target, an existing target of an exclusive copy or
// move, a file that another program holds open. The running program's image is `image`; a
// copy of it is written only once set-up holds it.
#pragma once

#include "common/app_error.h"
#include "common/error_code_of.h"
#include "setup/program_copy.h"
#include "setup/setup_host.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zn {

class FakeSetupHost : public SetupHost {
public:
    struct File {
        std::string bytes;
        bool readOnly = false;
        bool unreadable = false; // held open by another program that shares nothing
        bool heldOpen = false;   // held open by another program that shares reading only
        friend bool operator==(const File&, const File&) = default;
    };
    struct Prompt {
        std::wstring text, title;
    };

    std::map<std::wstring, File> files;
    std::set<std::wstring> folders;
    std::deque<bool> answers; // one per prompt, in order; a prompt with none left fails the test
    std::function<void()> onPrompt; // runs as each prompt shows, before it is answered
    std::vector<Prompt> prompts;
    std::vector<std::wstring> operations; // "copy X Y", "move X Y", "delete X", "write X": tried,
                                          // done or not
    bool locked = false;                  // a set-up holds the lock
    std::string image = "MZ ZanvekNotepad 1.1"; // what the running program's file holds
    bool imageIsAnother = false;        // the file at the program's path is not the image that runs
    bool held = false;                  // set-up holds its image
    std::set<std::wstring> fullFolders; // folders that take no new file (ERROR_DISK_FULL)

    static FileKind KindOf(const std::string& bytes)
    {
        if (bytes.starts_with("MZ ZanvekNotepad")) return FileKind::ThisProgram;
        return bytes.starts_with("MZ") ? FileKind::Program : FileKind::Other;
    }

    void HoldRunningImage() override
    {
        if (imageIsAnother) Fail(kErrorNotTheRunningImage, L"hold", L"image");
        held = true;
    }

    std::wstring TemporaryPath(const std::wstring& folder) override
    {
        for (;;) {
            const std::wstring path =
                folder + L"\\" + TemporaryFileName(std::to_wstring(++m_temporaryCount));
            if (!files.contains(path)) return path;
        }
    }

    void WriteProgramCopy(const std::wstring& to) override
    {
        operations.push_back(L"write " + to);
        if (!held) ADD_FAILURE() << "a copy written before set-up held its image";
        if (files.contains(to) || folders.contains(to)) Fail(80, L"write", to);
        if (fullFolders.contains(to.substr(0, to.rfind(L'\\')))) Fail(112, L"write", to);
        files[to] = File{image};
    }

    std::vector<std::wstring> TemporaryFiles(const std::wstring& folder) override
    {
        std::vector<std::wstring> found;
        for (const auto& [path, file] : files) {
            const std::size_t slash = path.rfind(L'\\');
            if (path.substr(0, slash) == folder && IsTemporaryFileName(path.substr(slash + 1)))
                found.push_back(path);
        }
        return found;
    }

    bool IsFile(const std::wstring& path) override { return files.contains(path); }
    bool IsReadOnly(const std::wstring& path) override
    {
        return files.contains(path) && files[path].readOnly;
    }

    FileKind Inspect(const std::wstring& path) override
    {
        const auto it = files.find(path);
        if (it == files.end()) return FileKind::None;
        if (it->second.unreadable) Fail(32, L"inspect", path); // ERROR_SHARING_VIOLATION
        return KindOf(it->second.bytes);
    }

    bool SameBytes(const std::wstring& a, const std::wstring& b) override
    {
        if (!files.contains(a) || !files.contains(b)) return false;
        if (files[a].unreadable) Fail(32, L"compare", a);
        if (files[b].unreadable) Fail(32, L"compare", b);
        return files[a].bytes == files[b].bytes;
    }

    void CopyFileExclusive(const std::wstring& from, const std::wstring& to) override
    {
        operations.push_back(L"copy " + from + L" " + to);
        if (files.contains(to) || folders.contains(to)) Fail(80, L"copy", to); // ERROR_FILE_EXISTS
        Copy(from, to);
    }

    void MoveFileExclusive(const std::wstring& from, const std::wstring& to) override
    {
        operations.push_back(L"move " + from + L" " + to);
        if (files.contains(to) || folders.contains(to)) Fail(183, L"move", to); // ALREADY_EXISTS
        Move(from, to);
    }

    void MoveFileOver(const std::wstring& from, const std::wstring& to) override
    {
        operations.push_back(L"move " + from + L" " + to);
        if (folders.contains(to)) Fail(5, L"move", to);
        if (files.contains(to) && (files[to].readOnly || files[to].heldOpen)) Fail(5, L"move", to);
        Move(from, to);
    }

    void RemoveFile(const std::wstring& path) override
    {
        operations.push_back(L"delete " + path);
        const auto it = files.find(path);
        if (it == files.end()) Fail(2, L"delete", path);
        if (it->second.unreadable) Fail(32, L"delete", path);
        if (it->second.readOnly) Fail(5, L"delete", path, std::wstring(kClearReadOnlyAdvice));
        // A running program is held as heldOpen is; the system refuses to delete it.
        if (it->second.heldOpen) Fail(5, L"delete", path);
        files.erase(it);
    }

    std::unique_ptr<SetupLock> LockSetup() override
    {
        if (locked) return nullptr;
        return std::make_unique<Lock>(locked);
    }

    bool AskYesNo(std::wstring_view text, std::wstring_view title) override
    {
        prompts.push_back({std::wstring(text), std::wstring(title)});
        if (onPrompt) onPrompt();
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected prompt";
            return false;
        }
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }

    std::vector<std::wstring> PromptTitles() const
    {
        std::vector<std::wstring> titles;
        for (const Prompt& prompt : prompts)
            titles.push_back(prompt.title);
        return titles;
    }

private:
    int m_temporaryCount = 0;

    class Lock final : public SetupLock {
    public:
        explicit Lock(bool& held) : m_locked(held) { m_locked = true; }
        ~Lock() override { m_locked = false; }

    private:
        bool& m_locked;
    };

    void Copy(const std::wstring& from, const std::wstring& to)
    {
        const auto source = files.find(from);
        if (source == files.end()) Fail(2, L"copy", from); // ERROR_FILE_NOT_FOUND
        if (source->second.unreadable) Fail(32, L"copy", from);
        files[to] = File{source->second.bytes};
    }

    // A rename: all or nothing, and the source must not be held open.
    void Move(const std::wstring& from, const std::wstring& to)
    {
        const auto source = files.find(from);
        if (source == files.end()) Fail(2, L"move", from);
        if (source->second.unreadable || source->second.heldOpen) Fail(32, L"move", from);
        File moved = source->second;
        files.erase(source);
        files[to] = moved;
    }
};

} // namespace zn
