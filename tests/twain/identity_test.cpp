// Opening and closing the source over the virtual scanner: the driver calls in their order, the
// settings read and written back, application recognition, refusals, and the failure rule.
#include "kitsource.h"

namespace {

const char *const kSection = "JEX Virtual Scanner";
constexpr TW_UINT16 CCAP_QUIETERRORS = 0x8100;

TEST(OpenClose, DriverCallsInOrder) {
    KitSource kit;
    TW_IDENTITY app = AppId(11);
    EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_SUCCESS, 0);
    const auto calls = kit.Calls();
    // The libraries start before the driver loads; the model is named before the load; the
    // driver is initialised before any message reaches it; discovery runs in its fixed order
    // (driver capabilities, pixel types, opened, stack sensor, paper sources, transfer mode,
    // endorser, page sizes) and the last settings are read after it.
    ExpectInOrder(calls, {
                             "62 JexlocOpen(\"twjex.loc\")",
                             "73 JexdfltInit() = 0",
                             "115 JexdfltSetVendor(\"Quilmet Systems, Inc.\")",
                             "48 JexdfltPutSetting(0, \"ORVAVS\", \"Model\", \"JEX Virtual Scanner\")",
                             "29 JexdfltLoadDriver(0, \"ORVAVS\", kind 2) = 0",
                             "70 JexdfltInitDriver(ORVAVS, \"ORVAVS\", 0) = 0",
                             "msg 0x321 tag 5374 value 0 = 0",
                             "msg 0x321 tag 5371 value 528482166",  // 0x1F7FFF76 when missing
                             "msg 0x314 tag 0",
                             "msg 0x347",
                             "msg 0x310 tag 1283",
                             "msg 0x410 tag 1300",
                             "msg 0x310 tag 5363",
                             "msg 0x312 tag 1411 len 255",
                             "msg 0x410 tag 1294",
                             "47 JexdfltGetSetting(0, \"JEX Virtual Scanner\", \"Strict\"",
                             "msg 0x321 tag 1404 value 0",
                             "47 JexdfltGetSetting(0, \"JEX Virtual Scanner\", \"InvertColor\"",
                             "47 JexdfltGetSetting(0, \"JEX Virtual Scanner\", \"Prefeed\"",
                         });
    EXPECT_LT(FindCall(calls, "47 JexdfltGetSetting(0, \"JEX Virtual Scanner\", \"QueryFeederEmpty\""),
              FindCall(calls, "29 "))
        << "the feeder question is read before the driver loads";
    EXPECT_EQ(CountCalls(calls, "47 JexdfltGetSetting(0, \"JEX Virtual Scanner\", \"QueryFeederEmpty\""), 1);
    // What the open found out: a driver without single-page mode transfers every page.
    TW_CAPABILITY count{CAP_XFERCOUNT, TWON_DONTCARE16, nullptr};
    ASSERT_EQ(kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &count), TWRC_SUCCESS);
    EXPECT_EQ(static_cast<TW_INT16>(TakeOneValue(count).item), -1);
    EXPECT_EQ(kit.LiveDrivers(), 1);
    kit.ResetCalls();
    EXPECT_TWAIN(kit.src(), &app, kit.Close(app), TWRC_SUCCESS, 0);
    const auto closing = kit.Calls();
    ExpectInOrder(closing, {
                             "48 JexdfltPutSetting(0, \"JEX Virtual Scanner\", \"InvertColor\", \"0\")",
                             "48 JexdfltPutSetting(0, \"JEX Virtual Scanner\", \"Prefeed\", \"1\")",
                             "msg 0x346",
                             "30 JexdfltUnloadDriver(ORVAVS) = 0",
                             "74 JexdfltDone() = 0",
                         });
    EXPECT_EQ(closing.size(), 5u);
    EXPECT_TRUE(kit.NoDriversLeft());
    EXPECT_EQ(kit.LiveImageObjects(), 0);
    EXPECT_EQ(kit.Setting(kSection, "InvertColor"), "0") << "written back even if never present";
    EXPECT_EQ(kit.Setting(kSection, "Prefeed"), "1") << "no stack sensor: prefeed on";
    EXPECT_EQ(kit.Setting("ORVAVS", "Model"), kSection);
}

TEST(OpenClose, IdentityAnsweredWhileOpen) {
    KitSource kit;
    TW_IDENTITY app = AppId(11);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    TW_IDENTITY id{};
    EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &id), TWRC_SUCCESS, 0);
    EXPECT_STREQ(id.ProductName, "JEX Virtual Scanner");
    EXPECT_EQ(id.Version.MinorNum, 78);
    kit.Close(app);
}

TEST(OpenClose, LocalisationFileOpenedOncePerProcess) {
    KitSource kit;
    TW_IDENTITY app = AppId(11);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    ASSERT_EQ(kit.Close(app), TWRC_SUCCESS);
    kit.ResetCalls();
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    EXPECT_EQ(CountCalls(kit.Calls(), "62 "), 0);
    EXPECT_EQ(CountCalls(kit.Calls(), "73 "), 1) << "the driver libraries start at every open";
    kit.Close(app);
}

TEST(OpenClose, SettingsReadAndWrittenBack) {
    KitSource kit;
    kit.PutSetting(kSection, "INIModeLimit", "12345");
    kit.PutSetting(kSection, "InvertColor", "1");
    kit.PutSetting(kSection, "Prefeed", "0");
    TW_IDENTITY app = AppId(11);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    EXPECT_GE(FindCall(kit.Calls(), "msg 0x321 tag 5371 value 12345 "), 0);
    ASSERT_EQ(kit.Close(app), TWRC_SUCCESS);
    EXPECT_EQ(kit.Setting(kSection, "InvertColor"), "1");
    EXPECT_EQ(kit.Setting(kSection, "Prefeed"), "0");
}

TEST(OpenClose, PrefeedDefaultsToTheOppositeOfTheStackSensor) {
    KitSource kit(
        "[Scanner]\nFlatbed=no\nFeeder=yes\nDuplex=yes\nStackSensor=yes\nResolutions=100..600/50\nDefaultResolution=300\n");
    TW_IDENTITY app = AppId(11);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    ASSERT_EQ(kit.Close(app), TWRC_SUCCESS);
    EXPECT_EQ(kit.Setting(kSection, "Prefeed"), "0");
}

TEST(OpenClose, SecondOpenAndForeignCallers) {
    KitSource kit;
    TW_IDENTITY app = AppId(11), other = AppId(12);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    kit.ResetCalls();
    EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_SUCCESS, 0);
    EXPECT_TRUE(kit.Calls().empty()) << "a second open by the same application changes nothing";
    EXPECT_TWAIN(kit.src(), &other, kit.Open(other), TWRC_FAILURE, TWCC_MAXCONNECTIONS);
    EXPECT_TWAIN(kit.src(), &other, kit.Close(other), TWRC_FAILURE, TWCC_MAXCONNECTIONS);
    EXPECT_TWAIN(kit.src(), &app, kit.src().Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr),
                 TWRC_FAILURE, TWCC_MAXCONNECTIONS);
    EXPECT_EQ(kit.LiveDrivers(), 1) << "still open";
    EXPECT_TWAIN(kit.src(), &app, kit.Close(app), TWRC_SUCCESS, 0);
    // Closing a closed source succeeds; another application may open after the close.
    EXPECT_TWAIN(kit.src(), &app, kit.Close(app), TWRC_SUCCESS, 0);
    EXPECT_TWAIN(kit.src(), &other, kit.Open(other), TWRC_SUCCESS, 0);
    kit.Close(other);
}

TEST(OpenClose, HostileIdentities) {
    KitSource kit;
    TW_IDENTITY ds{};
    EXPECT_TWAIN(kit.src(), nullptr, kit.src().Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds), TWRC_FAILURE,
                 TWCC_BADVALUE);
    TW_IDENTITY app = AppId(11);
    EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, nullptr), TWRC_FAILURE,
                 TWCC_BADVALUE);
    // Names filling all 34 bytes, without a terminator.
    memset(app.Manufacturer, 'M', sizeof app.Manufacturer);
    memset(app.ProductFamily, 'F', sizeof app.ProductFamily);
    memset(app.ProductName, 'P', sizeof app.ProductName);
    EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_SUCCESS, 0);
    EXPECT_EQ(kit.LiveDrivers(), 1);
    kit.Close(app);
}

// The old-application rule and the capability gate, with the source open.
TEST(OldApplications, CapabilityCodesMapToBadCapUpToProtocol15) {
    struct Row {
        TW_UINT16 major, minor, expected;
    };
    // protocol      condition code seen
    const Row rows[] = {{1, 5, TWCC_BADCAP}, {1, 0, TWCC_BADCAP}, {0, 9, TWCC_BADCAP},
                        {1, 6, TWCC_CAPUNSUPPORTED}, {1, 8, TWCC_CAPUNSUPPORTED}, {2, 4, TWCC_CAPUNSUPPORTED}};
    for (const Row &r : rows) {
        KitSource kit;
        TW_IDENTITY app = AppId(5, r.major, r.minor);
        ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
        TW_CAPABILITY cap{ICAP_LIGHTPATH, TWON_DONTCARE16, nullptr};
        SCOPED_TRACE(testing::Message() << "protocol " << r.major << "." << r.minor);
        EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE,
                     r.expected);
        // Other codes pass unchanged whatever the protocol.
        EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, 9, &cap), TWRC_FAILURE,
                     TWCC_BADPROTOCOL);
        kit.Close(app);
    }
}

TEST(StoredDriverError, ReportedOnceThenZero) {
    // The second load of the driver fails: open, switch to reported errors, close, open again.
    KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=ordinal 29, PaperJam, at 2\n");
    TW_IDENTITY app = AppId(3);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    TW_CAPABILITY cap{CCAP_QUIETERRORS, TWON_ONEVALUE, GlobalAlloc(GMEM_MOVEABLE, 6)};
    auto *ov = static_cast<TW_ONEVALUE *>(GlobalLock(cap.hContainer));
    *ov = TW_ONEVALUE{TWTY_BOOL, 1};
    GlobalUnlock(cap.hContainer);
    EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap), TWRC_SUCCESS, 0);
    GlobalFree(cap.hContainer);
    ASSERT_EQ(kit.Close(app), TWRC_SUCCESS);
    CbtAutoAnswer box(IDOK);
    EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, 0x8001);
    EXPECT_EQ(box.answered, 0) << "no box when the application reads driver errors itself";
    LONG error = 0;
    EXPECT_EQ(kit.src().Call(&app, DG_CONTROL, 0x8002, MSG_GET, &error), TWRC_FAILURE);
    EXPECT_EQ(error, -4530);
    EXPECT_EQ(kit.src().Call(&app, DG_CONTROL, 0x8002, MSG_GET, &error), TWRC_FAILURE);
    EXPECT_EQ(error, 0) << "read once";
    EXPECT_TRUE(kit.NoDriversLeft());
}

TEST(StoredDriverError, TransferTripletClearsIt) {
    KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=ordinal 70, Fault, at 2\n");
    TW_IDENTITY app = AppId(3);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    TW_CAPABILITY cap{CCAP_QUIETERRORS, TWON_ONEVALUE, GlobalAlloc(GMEM_MOVEABLE, 6)};
    *static_cast<TW_ONEVALUE *>(GlobalLock(cap.hContainer)) = TW_ONEVALUE{TWTY_BOOL, 1};
    GlobalUnlock(cap.hContainer);
    ASSERT_EQ(kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap), TWRC_SUCCESS);
    GlobalFree(cap.hContainer);
    ASSERT_EQ(kit.Close(app), TWRC_SUCCESS);
    kit.ResetCalls();
    EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, 0x8001);
    // With the driver loaded, the message-box bracket still reaches it although no box shows.
    ExpectInOrder(kit.Calls(), {"70 ", "msg 0x343 tag 5632", "msg 0x321 tag 5632 value 1", "msg 0x345 tag 5632",
                                "30 JexdfltUnloadDriver", "74 "});
    HANDLE dib = nullptr;
    kit.src().Call(&app, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib);
    LONG error = 77;
    kit.src().Call(&app, DG_CONTROL, 0x8002, MSG_GET, &error);
    EXPECT_EQ(error, 0);
}

TEST(FailureRule, StartLoadAndInitialisationFailuresShowOneBox) {
    struct Row {
        const char *fault;
        const char *lastCallBeforeEnd;
    };
    const Row rows[] = {
        {"ordinal 73, Fault, always", "73 JexdfltInit() = -4535"},
        {"ordinal 29, Offline, always", "29 JexdfltLoadDriver(0, \"ORVAVS\", kind 2) = -4533"},
        {"ordinal 70, CoverOpen, always", "30 JexdfltUnloadDriver"},
    };
    for (const Row &r : rows) {
        KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=" + r.fault + "\n");
        TW_IDENTITY app = AppId(3);
        CbtAutoAnswer box(IDOK);
        SCOPED_TRACE(r.fault);
        EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, TWCC_OPERATIONERROR);
        EXPECT_EQ(box.answered, 1) << r.fault;
        EXPECT_EQ(box.caption, "Scannerfehler") << "translated by the sample localisation file";
        EXPECT_FALSE(box.text.empty()) << r.fault;
        auto calls = kit.Calls();
        EXPECT_GE(FindCall(calls, r.lastCallBeforeEnd), 0) << r.fault;
        if (std::string(r.fault).rfind("ordinal 73", 0) != 0) {
            EXPECT_EQ(calls.back().rfind("74 JexdfltDone", 0), 0u) << r.fault;
        }
        if (std::string(r.fault).rfind("ordinal 70", 0) == 0) {
            // With the driver loaded it is told about the box: snapshot, message-box mode, restore.
            ExpectInOrder(calls, {"70 ", "msg 0x343 tag 5632", "msg 0x321 tag 5632 value 1", "msg 0x345 tag 5632",
                                  "30 JexdfltUnloadDriver", "74 JexdfltDone"});
        } else {
            EXPECT_EQ(FindCall(calls, "msg 0x343"), -1) << "no driver to tell";
        }
        EXPECT_TRUE(kit.NoDriversLeft()) << r.fault;
        // The source stays closed: a capability call is out of sequence.
        TW_CAPABILITY cap{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
        EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE,
                     TWCC_SEQERROR);
    }
}

TEST(FailureRule, CaptionStaysEnglishWithoutATranslation) {
    SetEnvironmentVariableA("JEXKIT_LOCFILE", "Z:\\no\\such\\twjex.loc");
    {
        KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=ordinal 29, Offline, always\n");
        TW_IDENTITY app = AppId(3);
        CbtAutoAnswer box(IDOK);
        EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, TWCC_OPERATIONERROR);
        EXPECT_EQ(box.answered, 1);
        EXPECT_EQ(box.caption, "Scanner Error");
    }
    SetEnvironmentVariableA("JEXKIT_LOCFILE", nullptr);
}

TEST(FailureRule, CancelIsNeverShown) {
    KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=ordinal 70, Cancel, always\n");
    TW_IDENTITY app = AppId(3);
    CbtAutoAnswer box(IDOK);
    EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, TWCC_OPERATIONERROR);
    EXPECT_EQ(box.answered, 0);
}

TEST(FailureRule, MissingHostStringsFailWithoutABox) {
    KitSource kit;
    // A module with no string table.
    const HINSTANCE record[2] = {GetModuleHandleA("jexmdln.dll"), nullptr};
    kit.src().init()(record);
    TW_IDENTITY app = AppId(3);
    CbtAutoAnswer box(IDOK);
    EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, TWCC_OPERATIONERROR);
    EXPECT_EQ(box.answered, 0);
    auto calls = kit.Calls();
    ExpectInOrder(calls, {"73 ", "115 ", "74 "});
    EXPECT_EQ(FindCall(calls, "29 "), -1);
}

}  // namespace

namespace {

// An error whose high half is -4401 was already shown to the user by the driver: the open goes on
// without a driver, answers what needs none, sends the driver nothing and closes cleanly.
TEST(OfflineDriver, OpensWithoutADriverAndClosesCleanly) {
    const std::string quiet = std::to_string(static_cast<LONG>(0xEECFEE4Bu));  // -4401 / offline
    struct Row {
        const char *ordinal;
        bool unloadedAtOpen;  // the driver was loaded and is taken down again
    };
    // ordinal that fails   unloaded at open
    const Row rows[] = {{"29", false}, {"70", true}};
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string("ordinal ") + r.ordinal);
        KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=ordinal " + r.ordinal + ", " + quiet + ", once\n");
        TW_IDENTITY app = AppId(21);
        CbtAutoAnswer box(IDOK);
        EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_SUCCESS, 0);
        EXPECT_EQ(box.answered, 0) << "the driver has told the user";
        auto calls = kit.Calls();
        const int failed = FindCall(calls, std::string(r.ordinal) + " ");
        ASSERT_GE(failed, 0);
        EXPECT_EQ(FindCall(calls, "msg ", failed + 1), -1) << "no driver message after the failed step";
        EXPECT_EQ(FindCall(calls, "30 ", failed + 1) >= 0, r.unloadedAtOpen);
        EXPECT_EQ(kit.LiveDrivers(), 0);
        // Capabilities that need no driver still answer.
        TW_CAPABILITY count{CAP_XFERCOUNT, TWON_DONTCARE16, nullptr};
        EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &count), TWRC_SUCCESS,
                     0);
        EXPECT_EQ(static_cast<TW_INT16>(TakeOneValue(count).item), -1);
        TW_CAPABILITY caps{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
        EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &caps), TWRC_SUCCESS,
                     0);
        GlobalFree(caps.hContainer);
        kit.ResetCalls();
        EXPECT_TWAIN(kit.src(), &app, kit.Close(app), TWRC_SUCCESS, 0);
        calls = kit.Calls();
        EXPECT_EQ(FindCall(calls, "msg 0x346"), -1) << "no driver to tell of the close";
        EXPECT_EQ(FindCall(calls, "30 "), -1);
        EXPECT_GE(FindCall(calls, "74 JexdfltDone"), 0);
        EXPECT_TRUE(kit.NoDriversLeft());
        // The next open, with the driver back, has it again.
        EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_SUCCESS, 0);
        EXPECT_EQ(kit.LiveDrivers(), 1);
        kit.Close(app);
        EXPECT_TRUE(kit.NoDriversLeft());
    }
    // A library that did not start goes on to the load, which then fails and is shown: one box.
    KitSource kit(std::string(kBasicProfile) + "[Faults]\nF1=ordinal 73, " + quiet + ", once\n");
    TW_IDENTITY app = AppId(21);
    CbtAutoAnswer box(IDOK);
    EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_FAILURE, TWCC_OPERATIONERROR);
    EXPECT_EQ(box.answered, 1);
    ExpectInOrder(kit.Calls(), {"73 ", "29 ", "74 "});
    EXPECT_TRUE(kit.NoDriversLeft());
}

}  // namespace
