// Every sample scanner model opens and closes on a fresh load with nothing left behind, and what
// the probes found out shows in the source's answers.
#include "kitsource.h"

namespace {

std::vector<std::string> SampleProfiles() {
    std::vector<std::string> names;
    const char *src = getenv("TWJEX_SOURCE");
    if (!src) return names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((std::string("Z:") + src + "/kit/profiles/*.ini").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(std::string("Z:") + src + "/kit/profiles/" + fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

// The sample profiles whose open fails, with what the one box then says (the error code in its
// text); every other sample opens without a box. Each is used where the build puts it, beside the
// sample pages its relative page folder names.
TEST(Profiles, EverySampleOpensAndClosesWithoutLeaks) {
    struct FailingProfile {
        const char *file;
        const char *boxText;
    };
    // profile            box text
    constexpr FailingProfile kFailingProfiles[] = {
        {"fail-start.ini", "(-4533)"},  // offline: the libraries' code, no driver yet
        {"fail-load.ini", "(-4512)"},   // no driver file: the libraries' code
        {"fail-init.ini", "(-1)"},      // a fault of the loaded driver: its own code, -1 here
    };
    auto profiles = SampleProfiles();
    ASSERT_GE(profiles.size(), 4u);
    auto fileOf = [](const std::string &path) { return path.substr(path.find_last_of("/\\") + 1); };
    for (const FailingProfile &f : kFailingProfiles) {
        auto named = [&](const std::string &p) { return fileOf(p) == f.file; };
        EXPECT_NE(std::find_if(profiles.begin(), profiles.end(), named), profiles.end())
            << f.file << " is no longer a sample";
    }
    for (const std::string &path : profiles) {
        SCOPED_TRACE(path);
        const FailingProfile *failing = nullptr;
        for (const FailingProfile &f : kFailingProfiles)
            if (fileOf(path) == f.file) failing = &f;
        char exe[MAX_PATH];
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        const std::string bin = std::string(exe).substr(0, std::string(exe).rfind('\\'));
        const std::string built = bin + "\\profiles\\" + fileOf(path);
        ASSERT_EQ(ReadFileText(built), ReadFileText(path)) << built << " is not the sample as it is in the tree";
        KitSource kit(ProfileFile{built});
        TW_IDENTITY app = AppId(21);
        CbtAutoAnswer box(IDOK);
        if (!failing) {
            EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_SUCCESS, 0);
            EXPECT_EQ(box.answered, 0);
            EXPECT_EQ(kit.LiveDrivers(), 1);
            EXPECT_TWAIN(kit.src(), &app, kit.Close(app), TWRC_SUCCESS, 0);
        } else {
            EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, TWCC_OPERATIONERROR);
            EXPECT_EQ(box.answered, 1);
            EXPECT_NE(box.text.find(failing->boxText), std::string::npos) << box.text;
        }
        EXPECT_TRUE(kit.NoDriversLeft());
        EXPECT_EQ(kit.LiveImageObjects(), 0);
        EXPECT_EQ(CountCalls(kit.Calls(), "73 JexdfltInit() = 0"), CountCalls(kit.Calls(), "74 JexdfltDone()"));
    }
}

TW_UINT32 QuerySupport(KitSource &kit, TW_IDENTITY &app, TW_UINT16 capCode) {
    TW_CAPABILITY cap{capCode, TWON_DONTCARE16, nullptr};
    if (kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT, &cap) != TWRC_SUCCESS) return 0xDEAD;
    const OneValueAnswer answer = TakeOneValue(cap);
    EXPECT_EQ(answer.type, TWTY_INT32);
    return answer.item;
}

TEST(Probes, DriverDefinedCapabilitiesAnswerQuerySupport) {
    KitSource kit(std::string(kBasicProfile) +
                  "[Tag 6001]\nName=Sharpness\nKind=long\nCapability=0x8101\nValues=0..10/1\nDefault=5\n"
                  "[Tag 6002]\nName=Serial\nKind=string\nCapability=0x8102\nReadOnly=yes\nValues=A1\n");
    TW_IDENTITY app = AppId(21);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    EXPECT_EQ(QuerySupport(kit, app, 0x8101), 0x1Fu);
    EXPECT_EQ(QuerySupport(kit, app, 0x8102), 0x0Du) << "read-only flag";
    EXPECT_EQ(QuerySupport(kit, app, 0x8103), 0u);
    EXPECT_EQ(QuerySupport(kit, app, CAP_XFERCOUNT), 0x1Fu);
    EXPECT_EQ(QuerySupport(kit, app, CAP_FEEDERLOADED), 0x0Du);
    EXPECT_EQ(QuerySupport(kit, app, ICAP_LIGHTPATH), 0u);
    EXPECT_EQ(QuerySupport(kit, app, 0x1129), 0u);
    kit.Close(app);
}

TEST(Probes, EndorserKindsAndPageSizesWithoutNames) {
    struct Row {
        const char *extra;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {"Endorser=text\n", {"msg 0x312 tag 1411 len 255 = 0"}},
        {"Endorser=counter\n", {"msg 0x312 tag 1411 len 255 = -", "msg 0x310 tag 1412 = 0"}},
        {"Endorser=none\n", {"msg 0x312 tag 1411 len 255 = -", "msg 0x310 tag 1412 = -"}},
        // Without page-size names the source measures its own list against the largest area.
        {"PageSizes=\n", {"msg 0x410 tag 1294 = -", "msg 0x411 tag 256 index -2 = 0", "msg 0x411 tag 257 index -2 = 0"}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.extra);
        KitSource kit(std::string(kBasicProfile) + r.extra);
        TW_IDENTITY app = AppId(21);
        ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
        ExpectInOrder(kit.Calls(), r.calls);
        kit.Close(app);
    }
}

// A driver that starts in single-page mode offers fewer paper sources now than in the other mode,
// and the transfer count starts at 1; otherwise at -1.
TEST(Probes, SinglePageModeSetsTheTransferCount) {
    struct Row {
        const char *extra;
        TW_INT16 count;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {"SinglePageMode=yes\nSinglePageSources=2\n", 1,
         {"msg 0x410 tag 1300 = 0 -> 1", "msg 0x310 tag 5363 = 0 -> 1", "msg 0x321 tag 5363 value 0",
          "msg 0x410 tag 1300 = 0 -> 2", "msg 0x321 tag 5363 value 1", "msg 0x310 tag 5363 = 0 -> 1"}},
        {"SinglePageMode=no\n", -1, {"msg 0x410 tag 1300 = 0 -> 2", "msg 0x310 tag 5363 = 0 -> 0"}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.extra);
        KitSource kit(std::string(kBasicProfile) + r.extra);
        TW_IDENTITY app = AppId(21);
        ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
        ExpectInOrder(kit.Calls(), r.calls);
        TW_CAPABILITY cap{CAP_XFERCOUNT, TWON_DONTCARE16, nullptr};
        ASSERT_EQ(kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &cap), TWRC_SUCCESS);
        const OneValueAnswer answer = TakeOneValue(cap);
        EXPECT_EQ(answer.type, TWTY_INT16);
        EXPECT_EQ(static_cast<TW_INT16>(answer.item), r.count);
        kit.Close(app);
    }
}

// One whose either half is the cancel code is a cancel: no box. (An error the driver has shown
// itself is the offline case of the open tests.)
TEST(DriverErrors, CancelsAreNotShownOtherErrorsAre) {
    // 0xFFFF0000: both halves read as "nothing", yet it is an error.
    {
        KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=ordinal 70, -65536, always\n");
        TW_IDENTITY app = AppId(21);
        CbtAutoAnswer box(IDOK);
        EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, TWCC_OPERATIONERROR);
        EXPECT_EQ(box.answered, 1);
        EXPECT_TRUE(kit.NoDriversLeft());
    }
    // 0xEE52xxxx and 0xxxxxEE52 are cancels.
    for (DWORD error : {0xEE521234u, 0xFFFFEE52u, 0x8001EE52u}) {
        SCOPED_TRACE(error);
        KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=ordinal 29, " + std::to_string(static_cast<LONG>(error)) + ", always\n");
        TW_IDENTITY app = AppId(21);
        CbtAutoAnswer box(IDOK);
        EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, TWCC_OPERATIONERROR);
        EXPECT_EQ(box.answered, 0);
    }
    // Any other error is shown once, with the driver's text.
    {
        KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=ordinal 70, PaperJam, always\n");
        TW_IDENTITY app = AppId(21);
        CbtAutoAnswer box(IDOK);
        EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, TWCC_OPERATIONERROR);
        EXPECT_EQ(box.answered, 1);
        EXPECT_NE(box.text.find("(-1)"), std::string::npos) << box.text;  // the high half, -1 here
    }
    // Without a driver (the libraries' start failed) the box shows the low half.
    {
        KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=ordinal 73, PaperJam, always\n");
        TW_IDENTITY app = AppId(21);
        CbtAutoAnswer box(IDOK);
        EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, TWCC_OPERATIONERROR);
        EXPECT_EQ(box.answered, 1);
        EXPECT_NE(box.text.find("(-4530)"), std::string::npos) << box.text;
    }
}

}  // namespace
