// Feeder, duplex, automatic feeding, paper detection, the endorser and job control over
// scanners with different paper paths.
#include "captest.h"

namespace {

const std::string kFlatbedOnly = "[Scanner]\nFlatbed=yes\nFeeder=no\nDuplex=no\nStackSensor=no\n";
const std::string kDuplexFeeder = "[Scanner]\nFlatbed=no\nFeeder=yes\nDuplex=yes\nStackSensor=yes\n";
const std::string kAll = "[Scanner]\nFlatbed=yes\nFeeder=yes\nDuplex=yes\nStackSensor=yes\n";
// In single-page mode only the flatbed is offered.
const std::string kSinglePageFlatbed = kAll + "SinglePageSources=2\n";

LONG PaperSourceWritten(KitSource &kit) {
    const auto calls = kit.Calls();
    for (int i = static_cast<int>(calls.size()) - 1; i >= 0; --i)
        if (calls[i].rfind("msg 0x321 tag 1300 value ", 0) == 0) return atol(calls[i].c_str() + 25);
    return -1;
}

TEST(Paper, AnswersByPaperPath) {
    struct Row {
        const std::string *profile;
        TW_UINT16 cap, msg;
        TW_UINT16 rc, cc;
        TW_UINT32 value;
    };
    // profile        capability            message        rc            cc                  value
    const Row rows[] = {
        {&kFlatbedOnly, CAP_FEEDERENABLED, MSG_GET, TWRC_SUCCESS, 0, 0},
        {&kFlatbedOnly, CAP_FEEDERENABLED, MSG_GETDEFAULT, TWRC_SUCCESS, 0, 0},
        {&kFlatbedOnly, CAP_DUPLEX, MSG_GET, TWRC_SUCCESS, 0, TWDX_NONE},
        {&kFlatbedOnly, CAP_DUPLEXENABLED, MSG_GET, TWRC_FAILURE, TWCC_CAPUNSUPPORTED, 0},
        {&kFlatbedOnly, CAP_DUPLEXENABLED, MSG_GETDEFAULT, TWRC_SUCCESS, 0, 0},
        {&kFlatbedOnly, CAP_AUTOSCAN, MSG_GET, TWRC_FAILURE, TWCC_CAPSEQERROR, 0},
        {&kFlatbedOnly, CAP_AUTOFEED, MSG_GETDEFAULT, TWRC_SUCCESS, 0, 0},
        {&kFlatbedOnly, CAP_PAPERDETECTABLE, MSG_GET, TWRC_SUCCESS, 0, 0},
        {&kFlatbedOnly, CAP_FEEDERLOADED, MSG_GET, TWRC_FAILURE, TWCC_CAPUNSUPPORTED, 0},
        {&kFlatbedOnly, CAP_FEEDERLOADED, MSG_GETDEFAULT, TWRC_SUCCESS, 0, 0},
        {&kDuplexFeeder, CAP_FEEDERENABLED, MSG_GET, TWRC_SUCCESS, 0, 1},
        {&kDuplexFeeder, CAP_FEEDERENABLED, MSG_GETDEFAULT, TWRC_SUCCESS, 0, 1},
        {&kDuplexFeeder, CAP_DUPLEX, MSG_GETCURRENT, TWRC_SUCCESS, 0, TWDX_1PASSDUPLEX},
        {&kDuplexFeeder, CAP_DUPLEXENABLED, MSG_GET, TWRC_SUCCESS, 0, 0},
        {&kDuplexFeeder, CAP_AUTOSCAN, MSG_GET, TWRC_SUCCESS, 0, 0},
        {&kDuplexFeeder, CAP_PAPERDETECTABLE, MSG_GET, TWRC_SUCCESS, 0, 1},
        {&kDuplexFeeder, CAP_FEEDERLOADED, MSG_GET, TWRC_SUCCESS, 0, 1},  // 3 pages in the feeder
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "cap 0x" << std::hex << r.cap << " msg 0x" << r.msg << "\n" << *r.profile);
        OpenKit k(*r.profile);
        const CapAnswer a = k.Get(r.cap, r.msg);
        EXPECT_EQ(a.rc, r.rc);
        EXPECT_EQ(a.cc, r.rc == TWRC_SUCCESS ? 0 : r.cc);
        if (r.rc == TWRC_SUCCESS) {
            EXPECT_EQ(a.value(), r.value);
        }
    }
}

TEST(Paper, SelectingSourcesWritesTag1300) {
    OpenKit k(kAll);
    struct Step {
        TW_UINT16 cap;
        TW_UINT32 value;
        TW_UINT16 rc, cc;
        LONG written;  // last value written to tag 1300, -1 for none
    };
    // capability          value  rc            cc                 1300 written
    const Step steps[] = {
        {CAP_FEEDERENABLED, 1, TWRC_SUCCESS, 0, 3},
        {CAP_DUPLEXENABLED, 1, TWRC_SUCCESS, 0, 4},
        {CAP_FEEDERENABLED, 1, TWRC_SUCCESS, 0, 4},  // duplex stays selected
        {CAP_DUPLEXENABLED, 0, TWRC_SUCCESS, 0, 3},
        {CAP_FEEDERENABLED, 0, TWRC_SUCCESS, 0, 2},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << "cap 0x" << std::hex << s.cap << " = " << s.value);
        k.kit.ResetCalls();
        const CapAnswer a = k.Set(s.cap, TWTY_BOOL, s.value);
        EXPECT_EQ(a.rc, s.rc);
        EXPECT_EQ(a.cc, s.cc);
        EXPECT_EQ(PaperSourceWritten(k.kit), s.written);
    }
    // Automatic feeding is written only with the feeder selected.
    k.kit.ResetCalls();
    EXPECT_EQ(k.Set(CAP_AUTOSCAN, TWTY_BOOL, 1).rc, TWRC_SUCCESS);
    EXPECT_EQ(FindCall(k.kit.Calls(), "msg 0x321 tag 1293"), -1) << "flatbed: nothing written";
    k.Set(CAP_FEEDERENABLED, TWTY_BOOL, 1);
    EXPECT_EQ(k.Set(CAP_AUTOFEED, TWTY_BOOL, 1).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(CAP_AUTOSCAN, MSG_GETCURRENT).value(), 1u);
    EXPECT_EQ(k.Reset(CAP_AUTOSCAN).value(), 0u);
    EXPECT_EQ(k.Get(CAP_AUTOFEED).value(), 0u);
    // Resets: the feeder when there is one, one side.
    k.Set(CAP_DUPLEXENABLED, TWTY_BOOL, 1);
    EXPECT_EQ(k.Reset(CAP_DUPLEXENABLED).value(), 0u);
    EXPECT_EQ(k.Get(CAP_DUPLEXENABLED, MSG_GETCURRENT).value(), 0u);
    EXPECT_EQ(k.Reset(CAP_FEEDERENABLED).value(), 1u);
    EXPECT_EQ(k.Get(CAP_FEEDERENABLED, MSG_GETCURRENT).value(), 1u);
}

TEST(Paper, RefusalsAndTheOtherMode) {
    {
        OpenKit k(kFlatbedOnly);
        EXPECT_EQ(k.Set(CAP_FEEDERENABLED, TWTY_BOOL, 1).cc, TWCC_BADVALUE) << "no feeder";
        EXPECT_EQ(k.Set(CAP_FEEDERENABLED, TWTY_BOOL, 0).rc, TWRC_SUCCESS);
        EXPECT_EQ(k.Set(CAP_AUTOSCAN, TWTY_BOOL, 1).cc, TWCC_CAPSEQERROR) << "no feeder";
        EXPECT_EQ(k.Set(CAP_DUPLEXENABLED, TWTY_BOOL, 1).cc, TWCC_CAPUNSUPPORTED);
        EXPECT_EQ(k.Reset(CAP_DUPLEXENABLED).cc, TWCC_CAPUNSUPPORTED);
    }
    {
        OpenKit k(kDuplexFeeder);
        EXPECT_EQ(k.Set(CAP_FEEDERENABLED, TWTY_BOOL, 0).cc, TWCC_BADVALUE) << "no flatbed to fall back on";
    }
    // One transfer: the driver offers only the flatbed; the feeder is there in the other mode.
    OpenKit k(kSinglePageFlatbed);
    ASSERT_EQ(k.Set(CAP_XFERCOUNT, TWTY_INT16, 1).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Set(CAP_AUTOSCAN, TWTY_BOOL, 1).cc, TWCC_CAPSEQERROR) << "single-transfer mode";
    const CapAnswer feeder = k.Set(CAP_FEEDERENABLED, TWTY_BOOL, 1);
    EXPECT_EQ(feeder.rc, TWRC_FAILURE) << "not reported as success";
    EXPECT_EQ(feeder.cc, TWCC_CAPSEQERROR);
    EXPECT_EQ(k.Get(CAP_DUPLEXENABLED).cc, TWCC_CAPSEQERROR);
    EXPECT_EQ(k.Set(CAP_DUPLEXENABLED, TWTY_BOOL, 1).cc, TWCC_CAPSEQERROR);
    EXPECT_EQ(k.Get(CAP_DUPLEX).value(), TW_UINT32{TWDX_1PASSDUPLEX}) << "duplex exists in the other mode";
    ASSERT_EQ(k.Reset(CAP_XFERCOUNT).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Set(CAP_FEEDERENABLED, TWTY_BOOL, 1).rc, TWRC_SUCCESS);
}

// Every write of tag 1300 fails while its reads go through.
TEST(Paper, AFailingWriteOfThePaperSource) {
    struct Row {
        const char *profile;
        TW_UINT16 cap;
        TW_UINT32 value;
        TW_UINT16 cc;
    };
    // profile             capability          value  condition code
    const Row rows[] = {
        {"ORVAVS.ini", CAP_FEEDERENABLED, 0, TWCC_CAPSEQERROR},
        {"ORVAVS.ini", CAP_FEEDERENABLED, 1, TWCC_CAPSEQERROR},
        {"ORVAVS.ini", CAP_DUPLEXENABLED, 1, TWCC_CAPSEQERROR},
        {"ORVAVS.ini", CAP_DUPLEXENABLED, 0, TWCC_CAPSEQERROR},
        {"feeder-duplex.ini", CAP_FEEDERENABLED, 1, TWCC_CAPSEQERROR},
        {"feeder-duplex.ini", CAP_FEEDERENABLED, 0, TWCC_BADVALUE},  // refused before the write
        {"feeder-duplex.ini", CAP_DUPLEXENABLED, 1, TWCC_CAPSEQERROR},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.profile << " cap 0x" << std::hex << r.cap << " = " << r.value);
        OpenKit k(SampleProfile(r.profile) + "\n[Faults]\nPaperSource=msg 0x321 tag 1300, Busy\n");
        k.kit.ResetCalls();
        const CapAnswer a = k.Set(r.cap, TWTY_BOOL, r.value);
        EXPECT_EQ(a.rc, TWRC_FAILURE);
        EXPECT_EQ(a.cc, r.cc);
        EXPECT_EQ(PaperSourceWritten(k.kit) >= 0, r.cc == TWCC_CAPSEQERROR) << "the write was tried";
        // The gets still answer: the feeder, one side, as the scanner opened.
        EXPECT_EQ(k.Get(CAP_FEEDERENABLED).value(), 1u);
        EXPECT_EQ(k.Get(CAP_FEEDERENABLED, MSG_GETCURRENT).value(), 1u);
        EXPECT_EQ(k.Get(CAP_DUPLEXENABLED).value(), 0u);
        EXPECT_EQ(k.Get(CAP_DUPLEXENABLED, MSG_GETCURRENT).value(), 0u);
        EXPECT_EQ(k.Get(CAP_DUPLEX).value(), TW_UINT32{TWDX_1PASSDUPLEX});
        EXPECT_EQ(k.Reset(r.cap).cc, TWCC_CAPSEQERROR);
    }
}

TEST(Paper, NamedApplications) {
    {
        KitSource kit(kAll);
        TW_IDENTITY app = AppId(41, 1, 9, "Test", "Tests", "microsoft photo editor");
        ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
        SetOne(kit, app, CAP_FEEDERENABLED, TWTY_BOOL, 1);
        EXPECT_EQ(Ask(kit, app, MSG_GET, CAP_FEEDERENABLED).value(), 0u) << "told FALSE, so it does not crash";
        EXPECT_EQ(Ask(kit, app, MSG_GETCURRENT, CAP_FEEDERENABLED).value(), 1u) << "the real value";
        kit.Close(app);
    }
    KitSource kit(kAll);
    TW_IDENTITY app = AppId(42, 1, 9, "Eastman Software", "Imaging", "Imaging");
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    EXPECT_EQ(Ask(kit, app, MSG_GET, CAP_FEEDERLOADED).value(), 1u) << "with the flatbed selected";
    kit.Close(app);
}

TEST(Endorser, CounterAndText) {
    {
        OpenKit k;
        EXPECT_EQ(k.Get(CAP_ENDORSER).cc, TWCC_CAPUNSUPPORTED);
        EXPECT_EQ(k.Set(CAP_ENDORSER, TWTY_UINT32, 5).cc, TWCC_BADVALUE);
        EXPECT_EQ(k.Reset(CAP_ENDORSER).cc, TWCC_CAPUNSUPPORTED);
    }
    for (const char *kind : {"counter", "text"}) {
        SCOPED_TRACE(kind);
        OpenKit k(std::string(kBasicProfile) + "Endorser=" + kind + "\n");
        EXPECT_EQ(k.Set(CAP_ENDORSER, TWTY_UINT32, 1234).rc, TWRC_SUCCESS);
        const CapAnswer a = k.Get(CAP_ENDORSER);
        EXPECT_EQ(a.itemType, TWTY_UINT32);
        EXPECT_EQ(a.value(), 1234u);
        EXPECT_EQ(k.Get(CAP_ENDORSER, MSG_GETDEFAULT).value(), 0u);
        k.kit.ResetCalls();
        EXPECT_EQ(k.Reset(CAP_ENDORSER).rc, TWRC_SUCCESS);
        EXPECT_GE(FindCall(k.kit.Calls(), "msg 0x320 tag 1411"), 0) << "the text is cleared";
    }
}

TEST(JobControl, ChoicesSetAndReadBack) {
    // The driver's choices as a list, and as the range 0..4: the same enumeration.
    for (const std::string &profile : {std::string(kBasicProfile), SampleProfile("choice-shapes.ini")}) {
        SCOPED_TRACE(profile.substr(0, 60));
        OpenKit k(profile);
        const CapAnswer list = k.Get(CAP_JOBCONTROL);
        ASSERT_EQ(list.rc, TWRC_SUCCESS) << list.cc;
        EXPECT_EQ(list.conType, TWON_ENUMERATION);
        EXPECT_EQ(list.itemType, TWTY_UINT16);
        // Driver codes 0..4 as TWAIN codes: none, JSIC, JSXC, JSIS, JSXS.
        EXPECT_EQ(list.items, (std::vector<TW_UINT32>{TWJC_NONE, TWJC_JSIC, TWJC_JSXC, TWJC_JSIS, TWJC_JSXS}));
        EXPECT_EQ(k.Set(CAP_JOBCONTROL, TWTY_UINT16, TWJC_JSIS).rc, TWRC_SUCCESS);
        EXPECT_EQ(k.Get(CAP_JOBCONTROL, MSG_GETCURRENT).value(), TW_UINT32{TWJC_JSIS});
        EXPECT_EQ(k.Get(CAP_JOBCONTROL).current, 3u);
        EXPECT_EQ(k.Set(CAP_JOBCONTROL, TWTY_UINT16, 9).cc, TWCC_BADVALUE);
        EXPECT_EQ(k.Reset(CAP_JOBCONTROL).value(), 0u);
        EXPECT_EQ(k.Get(CAP_JOBCONTROL, MSG_GETCURRENT).value(), 0u);
    }
    // Without job separators: none is taken, anything else is not supported.
    OpenKit none(std::string(kBasicProfile) + "JobSeparators=no\n");
    EXPECT_EQ(none.Get(CAP_JOBCONTROL).value(), 0u);
    EXPECT_EQ(none.Set(CAP_JOBCONTROL, TWTY_UINT16, TWJC_NONE).rc, TWRC_SUCCESS);
    const CapAnswer refused = none.Set(CAP_JOBCONTROL, TWTY_UINT16, TWJC_JSIC);
    EXPECT_EQ(refused.rc, TWRC_FAILURE);
    EXPECT_EQ(refused.cc, TWCC_CAPUNSUPPORTED);
}

}  // namespace
