// Applications the source recognises at MSG_OPENDS, seen through the notes of the log.
#include "kitsource.h"

namespace {

std::string LogPath() { return WindowsDir() + "\\recognition_test.log"; }

class LogEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        SetScanIni("SDKDebug", "256");
        SetScanIni("SDKDebugFile", LogPath().c_str());
    }
    void TearDown() override {
        SetScanIni("SDKDebug", nullptr);
        SetScanIni("SDKDebugFile", nullptr);
        DeleteFileA(LogPath().c_str());
    }
};
const auto *const kEnv = ::testing::AddGlobalTestEnvironment(new LogEnvironment);

// Opens with the identity on a fresh load and returns the notes that were logged.
std::string NotesForOpening(const TW_IDENTITY &identity) {
    std::string log;
    {
        KitSource kit;
        TW_IDENTITY app = identity;
        EXPECT_EQ(kit.Open(app), TWRC_SUCCESS);
        kit.Close(app);
    }  // unloading ends the log
    return ReadFileText(LogPath());
}

TEST(Recognition, NamedApplications) {
    struct Row {
        const char *manufacturer, *family, *product, *note;
        bool expected;
    };
    // manufacturer       family        product           note                          found
    const Row rows[] = {
        {"Genoa Systems", "Imaging", "Viewer", "Application is Genoa", true},
        {"genoa systems", "Imaging", "Viewer", "Application is Genoa", false},  // exact case only
        {"Big Genoa", "Imaging", "Viewer", "Application is Genoa", false},      // at the start only
        {"Adobe", "Imaging", "photoshop 3.0", "Application is PhotoShop", true},  // any case
        {"Adobe", "Imaging", "Photo Shop", "Application is PhotoShop", false},
        {"Novell", "teamware Office", "Flow", "Application is TeamWARE", true},
        {"Novell", "Team WARE", "Flow", "Application is TeamWARE", false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.manufacturer << " / " << r.family << " / " << r.product);
        std::string log = NotesForOpening(AppId(9, 1, 9, r.manufacturer, r.family, r.product));
        EXPECT_EQ(log.find(r.note) != std::string::npos, r.expected) << log;
        EXPECT_NE(log.find("Application: Id=9 Version=1.0 \nTwainVer=1.9 \nManufacturer=" + std::string(r.manufacturer) + " \n"), std::string::npos)
            << "the open ends with the application's identity";
    }
}

// The helper program for an imaging application of the Windows 95 era is started only on that
// system; this one (Wine) reports an NT system.
TEST(Recognition, NoHelperProgramOnNtSystems) {
    ASSERT_EQ(GetVersion() & 0x80000000u, 0u) << "an NT system";
    for (const char *manufacturer : {"Wang Laboratories", "Eastman Software"}) {
        std::string log = NotesForOpening(AppId(9, 1, 9, manufacturer, "Imaging", "Viewer"));
        EXPECT_EQ(log.find("Wang Imaging '95 running"), std::string::npos) << manufacturer;
        EXPECT_NE(log.find("Application: Id=9"), std::string::npos) << manufacturer;
    }
}

}  // namespace
