// The exported entry: exports, dispatch of every data group and data argument type, DAT_STATUS,
// DAT_PARENT, the stored driver error read, and unknown triplets; and the test programs' own
// guard against message boxes nobody expected.
#include <gtest/gtest-spi.h>

#include "kitsource.h"

namespace {

TEST(Exports, UndecoratedStandardCallEntries) {
    Source src;
    ASSERT_TRUE(src.loaded());
    for (const char *name : {"TwJexDS_Entry", "TwJexInit", "TwJexDone", "TwJexYield"})
        EXPECT_NE(GetProcAddress(src.module(), name), nullptr) << name;
    for (const char *name : {"TwJexDS_Entry@24", "_TwJexDS_Entry@24", "TwJexInit@4"})
        EXPECT_EQ(GetProcAddress(src.module(), name), nullptr) << name;
    // The host module exports DS_Entry the same way.
    EXPECT_NE(GetProcAddress(src.host(), "DS_Entry"), nullptr);
}

TEST(Exports, InitAndDoneReturnZero) {
    Source src;
    ASSERT_TRUE(src.loaded());
    const HINSTANCE record[2] = {src.host(), nullptr};
    EXPECT_EQ(src.init()(record), 0);
    EXPECT_EQ(src.init()(nullptr), 0);  // a missing record changes nothing
    EXPECT_EQ(src.done()(12345), 0);
    // Still the host's strings after the null record.
    TW_IDENTITY id{};
    EXPECT_EQ(src.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, &id), TWRC_SUCCESS);
    EXPECT_STREQ(id.ProductName, "JEX Virtual Scanner");
}

TEST(Status, ReportsThenClearsTheStoredCode) {
    Source src;
    TW_UINT16 ignored = 0;
    EXPECT_EQ(src.Call(nullptr, DG_CONTROL, DAT_TWUNKIDENTITY, MSG_GET, &ignored), TWRC_FAILURE);
    TW_STATUS status{0x1111, 0x2222};
    EXPECT_EQ(src.Call(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.ConditionCode, TWCC_BADPROTOCOL);
    EXPECT_EQ(status.Reserved, 0x2222) << "Reserved is not touched";
    EXPECT_EQ(src.Status(), TWCC_SUCCESS);
}

TEST(Status, NullStatusKeepsTheCode) {
    Source src;
    src.Call(nullptr, 7, DAT_NULL, MSG_GET, nullptr);
    EXPECT_EQ(src.Call(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(src.Status(), TWCC_BADPROTOCOL);
}

TEST(Parent, AnswersSuccessOpenOrClosedAndChangesNothing) {
    KitSource kit;
    TW_IDENTITY app = AppId(41), stranger = AppId(42);
    for (TW_UINT16 msg : {MSG_OPENDSM, MSG_CLOSEDSM}) {
        EXPECT_TWAIN(kit.src(), nullptr, kit.src().Call(nullptr, DG_CONTROL, DAT_PARENT, msg, nullptr), TWRC_SUCCESS,
                     0);
    }
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    HWND parent = GetDesktopWindow();
    for (TW_UINT16 msg : {MSG_OPENDSM, MSG_CLOSEDSM}) {
        EXPECT_TWAIN(kit.src(), &stranger, kit.src().Call(&stranger, DG_CONTROL, DAT_PARENT, msg, &parent),
                     TWRC_SUCCESS, 0);
        EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_PARENT, msg, &parent), TWRC_SUCCESS, 0);
    }
    // Still open for its application, and the driver still loaded.
    EXPECT_EQ(kit.LiveDrivers(), 1);
    TW_CAPABILITY cap{CAP_XFERCOUNT, TWON_DONTCARE16, nullptr};
    EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_SUCCESS, 0);
    GlobalFree(cap.hContainer);
    EXPECT_TWAIN(kit.src(), &app, kit.Close(app), TWRC_SUCCESS, 0);
    EXPECT_TRUE(kit.NoDriversLeft());
}

TEST(Dispatch, UnknownTripletsAreBadProtocol) {
    Source src;
    struct Row {
        TW_UINT32 dg;
        TW_UINT16 dat;
    };
    // dg              dat
    const Row rows[] = {
        {DG_CONTROL, DAT_TWUNKIDENTITY}, {DG_CONTROL, DAT_NULL},      {DG_CONTROL, 0x000d},
        {DG_CONTROL, 0x8003},            {DG_IMAGE, DAT_CIECOLOR},    {DG_IMAGE, DAT_GRAYRESPONSE},
        {DG_IMAGE, DAT_RGBRESPONSE},     {DG_IMAGE, DAT_JPEGCOMPRESSION}, {DG_IMAGE, DAT_CAPABILITY},
        {DG_AUDIO, DAT_NULL},            {0, DAT_IDENTITY},           {3, DAT_CAPABILITY},
        {0x10001, DAT_IDENTITY},
    };
    for (const Row &r : rows) {
        TW_UINT32 scratch[64] = {};
        EXPECT_TWAIN(src, nullptr, src.Call(nullptr, r.dg, r.dat, MSG_GET, scratch), TWRC_FAILURE, TWCC_BADPROTOCOL);
    }
}

// Every routed DAT reaches its own handler, seen in the log: the handler's entry line names the
// triplet, where a triplet the dispatcher does not know gets its "unknown DAT" line. None crashes
// on a null data pointer.
TEST(Dispatch, RoutedTripletsReachTheirHandlers) {
    const std::string log = WindowsDir() + "\\entry_test.log";
    SetScanIni("SDKDebug", "128");
    SetScanIni("SDKDebugFile", log.c_str());
    struct Row {
        TW_UINT32 dg;
        TW_UINT16 dat;
        const char *name;
    };
    const Row rows[] = {
        {DG_CONTROL, DAT_CAPABILITY, "DAT_CAPABILITY"},     {DG_CONTROL, DAT_PENDINGXFERS, "DAT_PENDINGXFERS"},
        {DG_CONTROL, DAT_SETUPMEMXFER, "DAT_SETUPMEMXFER"}, {DG_CONTROL, DAT_SETUPFILEXFER, "DAT_SETUPFILEXFER"},
        {DG_CONTROL, DAT_USERINTERFACE, "DAT_USERINTERFACE"}, {DG_CONTROL, DAT_XFERGROUP, "DAT_XFERGROUP"},
        {DG_CONTROL, DAT_CUSTOMDSDATA, "DAT_CUSTOMDSDATA"}, {DG_CONTROL, 0x8001, "0x8001"},
        {DG_IMAGE, DAT_IMAGEINFO, "DAT_IMAGEINFO"},         {DG_IMAGE, DAT_IMAGELAYOUT, "DAT_IMAGELAYOUT"},
        {DG_IMAGE, DAT_IMAGEMEMXFER, "DAT_IMAGEMEMXFER"},   {DG_IMAGE, DAT_IMAGENATIVEXFER, "DAT_IMAGENATIVEXFER"},
        {DG_IMAGE, DAT_IMAGEFILEXFER, "DAT_IMAGEFILEXFER"}, {DG_IMAGE, DAT_PALETTE8, "DAT_PALETTE8"},
        {DG_IMAGE, DAT_EXTIMAGEINFO, "DAT_EXTIMAGEINFO"},
    };
    std::string text;
    {
        Source src;
        for (const Row &r : rows) {
            EXPECT_NE(src.Call(nullptr, r.dg, r.dat, MSG_GET, nullptr), TWRC_SUCCESS) << r.name;
            EXPECT_NE(src.Status(), 0) << r.name;
        }
        src.Call(nullptr, DG_CONTROL, 0x000d, MSG_GET, nullptr);
    }
    text = ReadFileText(log);
    SetScanIni("SDKDebug", nullptr);
    SetScanIni("SDKDebugFile", nullptr);
    DeleteFileA(log.c_str());
    for (const Row &r : rows) {
        // Pending transfers of a source without a scanner, and driver messages by any message but
        // their own, are refused without a line.
        if (r.dat == DAT_PENDINGXFERS || r.dat == 0x8001) continue;
        const std::string group = r.dg == DG_CONTROL ? "DG_CONTROL " : "DG_IMAGE ";
        EXPECT_NE(text.find(group + r.name), std::string::npos) << r.name;
    }
    EXPECT_NE(text.find("Called: DG_CONTROL with unknown DAT value (0000000d)"), std::string::npos);
    EXPECT_EQ(text.find("unknown DAT value (00000001)"), std::string::npos);
}

TEST(Event, IsNeverAnEventOfAClosedSource) {
    Source src;
    MSG msg{};
    TW_EVENT event{&msg, 0x1234};
    EXPECT_EQ(src.Call(nullptr, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(event.TWMessage, MSG_NULL);
    EXPECT_EQ(src.Call(nullptr, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, nullptr), TWRC_NOTDSEVENT);
}

TEST(DriverErrorRead, AnswersFailureAndZeroWhenNothingStored) {
    Source src;
    LONG error = 77;
    EXPECT_EQ(src.Call(nullptr, DG_CONTROL, 0x8002, MSG_GET, &error), TWRC_FAILURE);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(src.Status(), 0) << "the read leaves the condition code alone";
    EXPECT_EQ(src.Call(nullptr, DG_CONTROL, 0x8002, MSG_GET, nullptr), TWRC_FAILURE);
}

TEST(Identity, GetWorksWhileClosed) {
    Source src;
    TW_IDENTITY id{};
    id.Id = 4242;
    EXPECT_TWAIN(src, nullptr, src.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, &id), TWRC_SUCCESS, 0);
    EXPECT_EQ(id.Id, 4242u) << "the Id belongs to the manager";
    EXPECT_EQ(id.Version.MajorNum, 1);
    EXPECT_EQ(id.Version.MinorNum, 78);
    EXPECT_EQ(id.Version.Language, TWLG_USA);
    EXPECT_EQ(id.Version.Country, TWCY_USA);
    EXPECT_STREQ(id.Version.Info, "1.78");
    EXPECT_EQ(id.ProtocolMajor, 1);
    EXPECT_EQ(id.ProtocolMinor, 8);
    EXPECT_EQ(id.SupportedGroups, DG_CONTROL | DG_IMAGE);
    EXPECT_STREQ(id.Manufacturer, "Quilmet Systems, Inc.");
    EXPECT_STREQ(id.ProductFamily, "JEX Scanners");
    EXPECT_STREQ(id.ProductName, "JEX Virtual Scanner");
    EXPECT_TWAIN(src, nullptr, src.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, nullptr), TWRC_FAILURE,
                 TWCC_BADVALUE);
}

TEST(Identity, UnknownMessageIsBadProtocol) {
    Source src;
    TW_IDENTITY id{};
    EXPECT_TWAIN(src, nullptr, src.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_SET, &id), TWRC_FAILURE,
                 TWCC_BADPROTOCOL);
}

// Every box is answered while an answerer is in scope; one that nobody expected is closed and
// fails the test instead of waiting for a click.
TEST(MessageBoxes, EveryBoxIsAnsweredAndAnUnexpectedOneFails) {
    {
        CbtAutoAnswer box(IDNO);
        EXPECT_EQ(MessageBoxA(nullptr, "first", "One", MB_YESNO), IDNO);
        EXPECT_EQ(MessageBoxA(nullptr, "second", "Two", MB_YESNO), IDNO);
        EXPECT_EQ(box.answered, 2);
        EXPECT_EQ(box.captions, (std::vector<std::string>{"One", "Two"}));
        EXPECT_EQ(box.texts, (std::vector<std::string>{"first", "second"}));
        EXPECT_EQ(box.caption, "One");
        EXPECT_EQ(box.text, "first");
    }
    EXPECT_NONFATAL_FAILURE(EXPECT_EQ(MessageBoxA(nullptr, "nobody asked", "Stray", MB_OK), IDCANCEL),
                            "an unexpected message box [Stray]: nobody asked");
}

}  // namespace
