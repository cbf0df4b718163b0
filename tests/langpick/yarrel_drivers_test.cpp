// Yarrel's driver discovery: the question asked of each sample driver file (and the library
// freed afterwards), which files of the Quilmet folder are asked at all, and the guards against
// paths that do not fit.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drivers.h"
#include "yarrel_fixture.h"

namespace {

std::wstring FullPath(const wchar_t *name) {
    wchar_t path[MAX_PATH] = {};
    GetFullPathNameW(name, MAX_PATH, path, nullptr);
    return path;
}

class YarrelDrivers : public YarrelFixture {};

TEST_F(YarrelDrivers, EachSampleIsListedOrLeftOutAndUnloadedAgain) {
    struct Row {
        const wchar_t *file;
        bool listed;
        const wchar_t *name;
    };
    const Row rows[] = {
        // file            listed  display name (samples/zrd/*.rc)
        {L"orvafb.zrd", true, L"ORVA FB-100 Flatbed"},
        {L"orvadf.zrd", true, L"ORVA DF-2000 Document Feeder"},
        {L"nameless.zrd", true, L""},     // no string 129: listed all the same
        {L"orvals.zrd", false, L""},      // answers 0
        {L"noexport.zrd", false, L""},    // has a name, but no "SetLocaleEnable"
        {L"orvafail.zrd", false, L""},    // start-up fails
        {L"notalib.zrd", false, L""},     // not a library
        {L"missing.zrd", false, L""},     // no such file
        {L"orvafb.loc", false, L""},      // a text file
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(ToUtf8(row.file));
        const std::wstring path = FullPath(row.file);
        wchar_t name[256];
        wmemset(name, L'?', 256);
        EXPECT_EQ(ProbeDriver(path.c_str(), name, 256), row.listed);
        EXPECT_STREQ(name, row.name);
        EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr) << "the driver stayed loaded";
    }
    // A name longer than the buffer is cut, still terminated.
    wchar_t small[5];
    EXPECT_TRUE(ProbeDriver(FullPath(L"orvafb.zrd").c_str(), small, 5));
    EXPECT_STREQ(small, L"ORVA");

    wchar_t name[8] = L"x";
    EXPECT_FALSE(ProbeDriver(nullptr, name, 8));
    EXPECT_FALSE(ProbeDriver(FullPath(L"orvafb.zrd").c_str(), nullptr, 8));
    EXPECT_FALSE(ProbeDriver(FullPath(L"orvafb.zrd").c_str(), name, 0));
}

TEST_F(YarrelDrivers, OnlyZrdFilesOfTheFolderAreAsked) {
    Install({L"orvafb.zrd", L"orvafb.loc"});
    PutFile(L"readme.txt", "text");
    PutFile(L"old.zrd.bak", "x");
    ASSERT_TRUE(CreateDirectoryW((QuilmetPath() + L"\\folder.zrd").c_str(), nullptr));
    std::vector<std::wstring> asked;
    ForEachDriverFile(
        QuilmetPath().c_str(),
        [](void *context, const wchar_t *path) { static_cast<std::vector<std::wstring> *>(context)->push_back(path); },
        &asked);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(lstrcmpiW(asked[0].c_str(), (QuilmetPath() + L"\\orvafb.zrd").c_str()), 0) << ToUtf8(asked[0]);

    asked.clear();
    ForEachDriverFile((QuilmetPath() + L"\\nothere").c_str(),
                      [](void *context, const wchar_t *) { static_cast<std::vector<std::wstring> *>(context)->push_back(L""); },
                      &asked);
    ForEachDriverFile(nullptr, [](void *, const wchar_t *) {}, nullptr);
    EXPECT_TRUE(asked.empty());
}

TEST(YarrelPaths, PathsThatDoNotFitAreRefused) {
    // JoinPath: "C:\d" + "\" + "a.zrd" is 10 characters, 11 with the terminator.
    wchar_t out[MAX_PATH + 8];
    EXPECT_TRUE(JoinPath(out, 11, L"C:\\d", L"a.zrd"));
    EXPECT_STREQ(out, L"C:\\d\\a.zrd");
    EXPECT_FALSE(JoinPath(out, 10, L"C:\\d", L"a.zrd"));
    EXPECT_STREQ(out, L"");
    EXPECT_FALSE(JoinPath(out, 8, nullptr, L"a"));
    EXPECT_FALSE(JoinPath(out, 8, L"C:", nullptr));
    EXPECT_FALSE(JoinPath(nullptr, 8, L"C:", L"a"));
    EXPECT_FALSE(JoinPath(out, 0, L"C:", L"a"));

    // An item holds MAX_PATH characters with the terminator.
    const std::wstring longest(MAX_PATH - 1, L'p');
    DriverItem *item = NewDriverItem(longest.c_str());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(std::wstring(item->path), longest);
    EXPECT_EQ(item->next, nullptr);
    FreeDriverItem(item);
    EXPECT_EQ(NewDriverItem((longest + L"p").c_str()), nullptr);
    EXPECT_EQ(NewDriverItem(nullptr), nullptr);

    // QuilmetDir: the Windows directory as the system reports it, plus "\Quilmet".
    const std::wstring quilmet = QuilmetPath();
    EXPECT_TRUE(QuilmetDir(out, quilmet.size() + 1));
    EXPECT_EQ(std::wstring(out), quilmet);
    EXPECT_FALSE(QuilmetDir(out, quilmet.size()));
    EXPECT_STREQ(out, L"");
    EXPECT_FALSE(QuilmetDir(nullptr, MAX_PATH));

    // The all-scanners file: sdk.loc when jextools.loc is missing (no such folder here).
    EXPECT_TRUE(AllScannersLocPath(L"C:\\nowhere", out, MAX_PATH));
    EXPECT_STREQ(out, L"C:\\nowhere\\sdk.loc");
    EXPECT_FALSE(AllScannersLocPath(L"C:\\nowhere", out, 12));
}

TEST(YarrelPaths, ItemsStayInTheOrderAdded) {
    DriverList list{};
    DriverItem *a = NewDriverItem(L"a");
    DriverItem *b = NewDriverItem(L"b");
    DriverItem *c = NewDriverItem(L"c");
    AttachDriverItem(&list, a);
    AttachDriverItem(&list, b);
    AttachDriverItem(&list, c);
    AttachDriverItem(&list, nullptr);
    AttachDriverItem(nullptr, nullptr);
    std::wstring order;
    for (const DriverItem *i = list.head; i; i = i->next) order += i->path;
    EXPECT_EQ(order, L"abc");
    EXPECT_EQ(list.tail, c);
    FreeDriverList(&list);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    FreeDriverList(nullptr);
}

}  // namespace
