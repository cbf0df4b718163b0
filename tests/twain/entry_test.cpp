// The exported entry: exports, dispatch of every data group and data argument type, DAT_STATUS,
// DAT_PARENT, the stored driver error read, and unknown triplets.
#include "dstest.h"

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

TEST(Parent, AnswersSuccessInEveryState) {
    Source src;
    EXPECT_TWAIN(src, nullptr, src.Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr), TWRC_SUCCESS, 0);
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
        const std::string group = r.dg == DG_CONTROL ? "DG_CONTROL " : "DG_IMAGE ";
        EXPECT_NE(text.find(group + r.name), std::string::npos) << r.name;
    }
    EXPECT_NE(text.find("Called: DG_CONTROL with unknown DAT value (0000000d)"), std::string::npos);
    EXPECT_EQ(text.find("unknown DAT value (00000001)"), std::string::npos);
}

TEST(Event, IsNeverAnEventOfAClosedSourceAndNeverRemapped) {
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

}  // namespace
