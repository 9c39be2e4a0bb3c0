// An in-memory notepad.exe option key and protection answer. Changes are carried out on the
// model as the registry would; `failAt` makes the change of that index fail as a denied write.
// Every registry step is logged into the same list as the fake file operations, so a test sees
// the order of both.
#pragma once

#include "common/app_error.h"
#include "setup/notepad_option_trees.h"
#include "setup/redirection.h"

#include <string>
#include <vector>

namespace zn {

class FakeRedirectHost : public RedirectHost {
public:
    explicit FakeRedirectHost(std::vector<std::wstring>& log) : m_log(log) {}

    NotepadOptions tree;
    bool notepadProtected = false;
    std::vector<std::wstring> asked; // the paths whose protection was asked for
    int failAt = -1;

    bool IsProtectedSystemFile(const std::wstring& path) override
    {
        asked.push_back(path);
        return notepadProtected;
    }

    NotepadOptions ReadNotepadOptions() override
    {
        m_log.push_back(L"read registry");
        return tree;
    }

    void ApplyChanges(const std::vector<RegistryChange>& changes) override
    {
        for (const RegistryChange& change : changes) {
            if (m_applied++ == failAt) Fail(5, L"registry", change.subkey); // ERROR_ACCESS_DENIED
            m_log.push_back(L"registry " + Describe(change));
            ApplyToModel(tree, {change});
        }
    }

    static std::wstring Describe(const RegistryChange& change)
    {
        const std::wstring where = L"[" + change.subkey + L"]";
        switch (change.kind) {
        case RegistryChange::Kind::CreateKey: return L"create key";
        case RegistryChange::Kind::DeleteKey: return L"delete key";
        case RegistryChange::Kind::SetValue: return L"set " + where + change.value.name;
        case RegistryChange::Kind::DeleteValue: return L"delete " + where + change.value.name;
        }
        return L"?";
    }

private:
    std::vector<std::wstring>& m_log;
    int m_applied = 0;
};

} // namespace zn
