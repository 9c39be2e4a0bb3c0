#include "setup/default_app.h"

#include "setup/fake_redirect_host.h"
#include "setup/notepad_option_trees.h"

#include <gtest/gtest.h>

#include <functional>

namespace zn {
namespace {

using trees::Sz;

const std::wstring kLauncher = L"C:\\windows\\ZanvekNotepad.exe";
const std::wstring kProgIdKey = L"SOFTWARE\\Classes\\ZanvekNotepad.TextFile";
const std::wstring kCommandKey = kProgIdKey + L"\\shell\\open\\command";
const std::wstring kOurCommand = L"\"C:\\windows\\ZanvekNotepad.exe\" notepad.exe \"%1\"";

// A machine as Windows without the packaged Notepad has it (see the fake), changed by `change`.
struct Machine {
    explicit Machine(const std::function<void(FakeRedirectHost&)>& change = {})
    {
        if (change) change(registry);
    }
    RegistrySnapshot Snapshot() { return ReadSnapshot(registry, DefaultAppKeys()); }
    void Install()
    {
        const DefaultAppPlan plan = PlanDefaultAppInstall(Snapshot(), kLauncher);
        ASSERT_FALSE(plan.refusal) << testing::PrintToString(plan.refusal->key);
        ApplyAllOrNothing(registry, plan.changes);
    }
    void Remove() { ApplyAllOrNothing(registry, PlanDefaultAppRemoval(Snapshot(), kLauncher)); }

    std::vector<std::wstring> log;
    FakeRedirectHost registry{log};
};

void Put(FakeRedirectHost& registry, const std::wstring& key, const RegistryValue& value)
{
    registry.AddLevels(key);
    registry.SetValue(key, value);
}

TEST(DefaultApp, InstallWritesExactlyTheRegistrationAndRemovalLeavesTheMachineAsItWas)
{
    Machine machine;
    const auto before = machine.registry.keys;
    EXPECT_FALSE(HasOurRegistration(machine.Snapshot(), kLauncher));
    machine.Install();

    // Every value written, and nothing else: without them the machine is as before, once the
    // keys the install created are gone again.
    const std::vector<std::pair<std::wstring, RegistryValue>> written = {
        {kProgIdKey, Sz(L"", L"テキスト ドキュメント (ZanvekNotepad)")},
        {kProgIdKey + L"\\DefaultIcon", Sz(L"", L"\"C:\\windows\\ZanvekNotepad.exe\",0")},
        {kCommandKey, Sz(L"", kOurCommand)},
        {L"SOFTWARE\\Classes\\Applications\\ZanvekNotepad.exe",
         Sz(L"FriendlyAppName", L"ZanvekNotepad")},
        {L"SOFTWARE\\Classes\\.txt\\OpenWithProgids", Sz(L"ZanvekNotepad.TextFile", L"")},
        {L"SOFTWARE\\Classes\\.log\\OpenWithProgids", Sz(L"ZanvekNotepad.TextFile", L"")},
        {L"SOFTWARE\\Classes\\.ini\\OpenWithProgids", Sz(L"ZanvekNotepad.TextFile", L"")},
        {L"SOFTWARE\\Classes\\.inf\\OpenWithProgids", Sz(L"ZanvekNotepad.TextFile", L"")},
        {std::wstring(kCapabilitiesKey),
         Sz(L"ApplicationDescription",
            L"メモ帳の代わりに、登録したエディタでテキスト ファイルを開きます。")},
        {std::wstring(kCapabilitiesKey), Sz(L"ApplicationName", L"ZanvekNotepad")},
        {std::wstring(kCapabilitiesKey) + L"\\FileAssociations",
         Sz(L".txt", L"ZanvekNotepad.TextFile")},
        {std::wstring(kCapabilitiesKey) + L"\\FileAssociations",
         Sz(L".log", L"ZanvekNotepad.TextFile")},
        {std::wstring(kCapabilitiesKey) + L"\\FileAssociations",
         Sz(L".ini", L"ZanvekNotepad.TextFile")},
        {std::wstring(kCapabilitiesKey) + L"\\FileAssociations",
         Sz(L".inf", L"ZanvekNotepad.TextFile")},
        {L"SOFTWARE\\RegisteredApplications",
         Sz(L"ZanvekNotepad", L"SOFTWARE\\Kestrane\\ZanvekNOTEPAD\\Capabilities")},
    };
    auto stripped = machine.registry.keys;
    for (const auto& [key, value] : written) {
        auto& values = stripped.at(key).values;
        const auto found = std::find(values.begin(), values.end(), value);
        ASSERT_NE(found, values.end()) << testing::PrintToString(key + L" " + value.name);
        values.erase(found);
    }
    std::erase_if(stripped, [&](const auto& entry) {
        return !before.contains(entry.first) && entry.second.values.empty();
    });
    EXPECT_EQ(stripped, before);

    EXPECT_TRUE(HasOurRegistration(machine.Snapshot(), kLauncher));
    EXPECT_TRUE(PlanDefaultAppInstall(machine.Snapshot(), kLauncher).changes.empty())
        << "installing again changes nothing";
    machine.Remove();
    EXPECT_EQ(machine.registry.keys, before);
}

TEST(DefaultApp, OtherDataUnderAnyOfOurNamesIsReportedAndNothingChanges)
{
    const std::wstring assoc = std::wstring(kCapabilitiesKey) + L"\\FileAssociations";
    const struct {
        const char* why;
        std::wstring key;
        RegistryValue value;
        std::wstring shownKey, shownValue;
    } rows[] = {
        {"another program's ProgID of our name", kCommandKey,
         Sz(L"", L"\"C:\\Tools\\vi.exe\" \"%1\""), kCommandKey,
         L"(既定) = \"C:\\Tools\\vi.exe\" \"%1\""},
        {"our launcher's name in another folder is another program", kCommandKey,
         Sz(L"", L"\"C:\\Tools\\ZanvekNotepad.exe\" \"%1\""), kCommandKey,
         L"(既定) = \"C:\\Tools\\ZanvekNotepad.exe\" \"%1\""},
        {"a ProgID of our name without a command", kProgIdKey, Sz(L"", L"Other text"), kProgIdKey,
         L"(既定) = Other text"},
        {"another friendly name", L"SOFTWARE\\Classes\\Applications\\ZanvekNotepad.exe",
         Sz(L"FriendlyAppName", L"Other"), L"SOFTWARE\\Classes\\Applications\\ZanvekNotepad.exe",
         L"FriendlyAppName = Other"},
        {"our ProgID's entry with data", L"SOFTWARE\\Classes\\.ini\\OpenWithProgids",
         Sz(L"ZanvekNotepad.TextFile", L"x"), L"SOFTWARE\\Classes\\.ini\\OpenWithProgids",
         L"ZanvekNotepad.TextFile = x"},
        {"another application name in our vendor key", std::wstring(kCapabilitiesKey),
         Sz(L"ApplicationName", L"Other"), std::wstring(kCapabilitiesKey),
         L"ApplicationName = Other"},
        {"a type associated with another ProgID", assoc, Sz(L".log", L"vi.log"), assoc,
         L".log = vi.log"},
        {"our registered name pointing elsewhere", L"SOFTWARE\\RegisteredApplications",
         Sz(L"ZanvekNotepad", L"SOFTWARE\\Other\\Capabilities"),
         L"SOFTWARE\\RegisteredApplications", L"ZanvekNotepad = SOFTWARE\\Other\\Capabilities"},
        {"not text", L"SOFTWARE\\RegisteredApplications", trees::Dword(L"ZanvekNotepad", 1),
         L"SOFTWARE\\RegisteredApplications", L"ZanvekNotepad = (種類 4 の値)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        Machine machine([&](FakeRedirectHost& r) { Put(r, row.key, row.value); });
        const DefaultAppPlan plan = PlanDefaultAppInstall(machine.Snapshot(), kLauncher);
        ASSERT_TRUE(plan.refusal);
        EXPECT_EQ(*plan.refusal, (ForeignRegistration{row.shownKey, row.shownValue}));
        EXPECT_TRUE(plan.changes.empty());
        // Not ours: not taken for an installation, and removal leaves it where it is.
        EXPECT_FALSE(HasOurRegistration(machine.Snapshot(), kLauncher));
        const auto before = machine.registry.keys;
        machine.Remove();
        EXPECT_EQ(machine.registry.keys, before);
    }
}

TEST(DefaultApp, WhatIsOursIsKeptUpToDateAndWhatOthersAddedStays)
{
    Machine machine([](FakeRedirectHost& r) {
        // Another program's candidate for .txt, and an earlier version's wording of ours.
        Put(r, L"SOFTWARE\\Classes\\.txt\\OpenWithProgids", Sz(L"vi.txt", L""));
        // Our candidate for .log in the other form Microsoft documents: REG_NONE, no data.
        Put(r, L"SOFTWARE\\Classes\\.log\\OpenWithProgids", {L"ZanvekNotepad.TextFile", 0, {}});
        Put(r, kCommandKey, Sz(L"", L"\"C:\\WINDOWS\\zanveknotepad.exe\" notepad.exe \"%1\""));
        Put(r, kProgIdKey, Sz(L"", L"Old wording"));
    });
    const auto withOthers = machine.registry.keys;
    machine.Install();
    EXPECT_EQ(machine.registry.ReadKey(kProgIdKey).values,
              std::vector<RegistryValue>{Sz(L"", L"テキスト ドキュメント (ZanvekNotepad)")});
    machine.Remove();
    // Ours went, the other program's entry and the keys holding it stayed.
    EXPECT_EQ(machine.registry.ReadKey(L"SOFTWARE\\Classes\\.txt\\OpenWithProgids").values,
              std::vector<RegistryValue>{Sz(L"vi.txt", L"")});
    EXPECT_FALSE(machine.registry.ReadKey(L"SOFTWARE\\Classes\\.log\\OpenWithProgids").exists);
    EXPECT_FALSE(machine.registry.ReadKey(kProgIdKey).exists);
    EXPECT_FALSE(HasOurRegistration(machine.Snapshot(), kLauncher));
}

TEST(DefaultApp, AHalfRemovedRegistrationCountsAsInstalledAndRemovalFinishesIt)
{
    const struct {
        const char* why;
        std::vector<std::wstring> keysLeft; // of ours, with their values
    } rows[] = {
        {"only the ProgID's open command", {kCommandKey}},
        {"only the registered name", {L"SOFTWARE\\RegisteredApplications"}},
        {"only the .inf entry", {L"SOFTWARE\\Classes\\.inf\\OpenWithProgids"}},
        {"only the capabilities",
         {std::wstring(kCapabilitiesKey), std::wstring(kCapabilitiesKey) + L"\\FileAssociations"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        Machine clean;
        Machine machine;
        machine.Install();
        // Every value of ours outside the keys left is gone, as a removal cut short leaves it.
        for (auto& [key, entry] : machine.registry.keys) {
            if (std::none_of(row.keysLeft.begin(), row.keysLeft.end(),
                             [&](const std::wstring& left) { return SameIgnoringCase(left, key); }))
                entry.values = clean.registry.keys.contains(key) ? clean.registry.keys[key].values
                                                                 : std::vector<RegistryValue>{};
        }
        EXPECT_TRUE(HasOurRegistration(machine.Snapshot(), kLauncher));
        machine.Remove();
        EXPECT_EQ(machine.registry.keys, clean.registry.keys);
    }
}

} // namespace
} // namespace zn
