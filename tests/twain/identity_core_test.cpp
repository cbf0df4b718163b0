// The open's own decisions read from the core library's state: the core is linked into this
// test, with the kit's libraries below it as for the real source.
#include "kitsource.h"
#include "twain/driver.h"
#include "twain/handlers.h"
#include "twain/source.h"
#include "twain/state.h"

namespace {
const char *const kSection = "JEX Virtual Scanner";
}  // namespace

namespace {

// Each open starts from a fresh state.
class CoreOpen : public ::testing::Test {
protected:
    void SetUp() override {
        gState = DsState{};
        gDriver = JEXDRIVER{};
        gState.hOwnInstance = own_ = LoadLibraryExA("TWJEX32.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
        host_ = LoadLibraryA("twjexvs.ds");
        gState.hHostInstance = host_;
    }
    void TearDown() override {
        Close();
        if (own_) FreeLibrary(own_);
        if (host_) FreeLibrary(host_);
        gState = DsState{};
    }
    TW_UINT16 Open() {
        TW_IDENTITY ds{};
        ds.Id = 77;
        return DatIdentity(&app_, MSG_OPENDS, &ds);
    }
    void Close() { DatIdentity(&app_, MSG_CLOSEDS, nullptr); }
    TW_IDENTITY app_ = AppId(31);
    HMODULE own_ = nullptr, host_ = nullptr;
};

TEST_F(CoreOpen, FeederQuestionAndStrictChecksFromTheSettings) {
    struct Row {
        const char *key;
        const char *value;  // nullptr: missing
        bool on;
    };
    // key                 value     on
    const Row rows[] = {
        {"QueryFeederEmpty", "1", true},    {"QueryFeederEmpty", "2", true},   {"QueryFeederEmpty", "True", false},
        {"QueryFeederEmpty", "False", false}, {"QueryFeederEmpty", "fALSE", false}, {"QueryFeederEmpty", "0", false},
        {"QueryFeederEmpty", nullptr, false}, {"Strict", "1", true},           {"Strict", "-3", true},
        {"Strict", "0", false},             {"Strict", "yes", false},          {"Strict", nullptr, false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.key) + "=" + (r.value ? r.value : "<missing>"));
        KitSource kit;
        if (r.value) kit.PutSetting(kSection, r.key, r.value);
        gState = DsState{};
        gState.hOwnInstance = own_;
        gState.hHostInstance = host_;
        ASSERT_EQ(Open(), TWRC_SUCCESS);
        const BOOL seen = std::string(r.key) == "Strict" ? gState.bStrict : gState.bQueryFeederEmpty;
        EXPECT_EQ(seen != 0, r.on);
        Close();
    }
}

TEST_F(CoreOpen, TheStandardFamilyIsSelectedByName) {
    struct Row {
        HMODULE names;
        bool selected;
    };
    // host strings of           family selected
    const Row rows[] = {{GetModuleHandleA(nullptr), true},  // "twainjex", any case
                        {host_, false}};                    // "ORVAVS"
    for (const Row &r : rows) {
        KitSource kit;
        kit.ResetCalls();  // the kit's libraries stay loaded with this program
        gState.hHostInstance = r.names;
        ASSERT_EQ(Open(), TWRC_SUCCESS);
        const auto calls = kit.Calls();
        EXPECT_EQ(FindCall(calls, "40 JexdfltSelectFamily(0, \"twainjex\")") >= 0, r.selected);
        if (r.selected) ExpectInOrder(calls, {"40 ", "48 JexdfltPutSetting(0, \"twainjex\", \"Model\"", "29 "});
        EXPECT_TRUE(DriverLoaded());
        Close();
    }
}

TEST_F(CoreOpen, IdentitiesAreKeptTerminated) {
    KitSource kit;
    TW_IDENTITY ds{};
    ds.Id = 77;
    for (char *name : {ds.Manufacturer, ds.ProductFamily, ds.ProductName, ds.Version.Info}) memset(name, 'D', 34);
    memset(app_.ProductName, 'A', sizeof app_.ProductName);
    ASSERT_EQ(DatIdentity(&app_, MSG_OPENDS, &ds), TWRC_SUCCESS);
    for (const TW_IDENTITY *id : {&gState.DSIdentity, &gState.AppIdentity}) {
        EXPECT_EQ(strlen(id->Manufacturer) <= 33 && strlen(id->ProductFamily) <= 33 && strlen(id->ProductName) <= 33 &&
                      strlen(id->Version.Info) <= 33,
                  true);
    }
    EXPECT_EQ(std::string(gState.DSIdentity.ProductName), std::string(33, 'D')) << "cut, not emptied";
}

TEST(CodeNames, UnknownReturnCodesPrintUnsigned) {
    EXPECT_STREQ(TwrcName(TWRC_XFERDONE), "TWRC_XFERDONE");
    EXPECT_STREQ(TwrcName(0xFFFF), "65535");
    EXPECT_STREQ(TwrcName(0x8000), "32768");
}

}  // namespace
