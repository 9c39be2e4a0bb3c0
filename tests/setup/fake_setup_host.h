// An in-memory Windows folder with scripted answers to the prompts. File operations fail the
// way the system's do: a missing source, a read-only file, an existing destination of a move,
// a folder where a file is written.
#pragma once

#include "common/app_error.h"
#include "common/error_code_of.h"
#include "setup/setup_host.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zn {

class FakeSetupHost : public SetupHost {
public:
    struct File {
        std::string content;
        bool readOnly = false;
        bool thisProgram = false; // carries this program's version resource
        friend bool operator==(const File&, const File&) = default;
    };
    struct Prompt {
        std::wstring text, title;
    };

    std::map<std::wstring, File> files;
    std::set<std::wstring> folders;
    std::deque<bool> answers; // one per prompt, in order; a prompt with none left fails the test
    std::vector<Prompt> prompts;
    std::vector<std::wstring> operations; // "delete X", "move X Y", "copy X Y"

    bool IsFile(const std::wstring& path) override { return files.contains(Normal(path)); }
    bool IsThisProgram(const std::wstring& path) override
    {
        const auto it = files.find(Normal(path));
        return it != files.end() && it->second.thisProgram;
    }

    void RemoveFile(const std::wstring& path) override
    {
        operations.push_back(L"delete " + path);
        const auto it = files.find(Normal(path));
        if (it == files.end()) Fail(2, L"delete", path);   // ERROR_FILE_NOT_FOUND
        if (it->second.readOnly) Fail(5, L"delete", path); // ERROR_ACCESS_DENIED
        files.erase(it);
    }

    void RenameFile(const std::wstring& from, const std::wstring& to) override
    {
        operations.push_back(L"move " + from + L" " + to);
        const auto it = files.find(Normal(from));
        if (it == files.end()) Fail(2, L"move", from);
        if (files.contains(Normal(to)) || folders.contains(Normal(to)))
            Fail(183, L"move", to); // ERROR_ALREADY_EXISTS
        File moved = it->second;
        files.erase(it);
        files[Normal(to)] = moved;
    }

    void CopyFileOver(const std::wstring& from, const std::wstring& to) override
    {
        operations.push_back(L"copy " + from + L" " + to);
        const auto source = files.find(Normal(from));
        if (source == files.end()) Fail(2, L"copy", from);
        if (folders.contains(Normal(to))) Fail(5, L"copy", to);
        const auto target = files.find(Normal(to));
        if (target != files.end() && target->second.readOnly) Fail(5, L"copy", to);
        files[Normal(to)] = File{source->second.content, false, source->second.thisProgram};
    }

    bool AskYesNo(std::wstring_view text, std::wstring_view title) override
    {
        prompts.push_back({std::wstring(text), std::wstring(title)});
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

    // The system accepts repeated backslashes inside a path (a drive's root + "\" + name).
    static std::wstring Normal(const std::wstring& path)
    {
        std::wstring out;
        for (const wchar_t c : path) {
            if (c == L'\\' && out.size() > 1 && out.back() == L'\\') continue;
            out.push_back(c);
        }
        return out;
    }
};

} // namespace zn
