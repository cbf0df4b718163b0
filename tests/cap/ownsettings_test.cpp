// The capabilities the source answers from its own settings or fixed values, query support and
// the supported list, the message frame's refusals, and the driver-defined capabilities.
#include <span>

#include "captest.h"

namespace {

constexpr TW_UINT32 kMinus1 = 0xFFFFFFFFu;
constexpr TW_UINT16 CCAP_QUIETERRORS = 0x8100;

struct GetRow {
    TW_UINT16 cap, msg, conType, itemType;
    std::vector<TW_UINT32> items;
    TW_UINT32 current, deflt;  // enumerations only
};

void ExpectAnswers(OpenKit &k, std::span<const GetRow> rows) {
    for (const GetRow &r : rows) {
        SCOPED_TRACE(testing::Message() << "cap 0x" << std::hex << r.cap << " msg 0x" << r.msg);
        const CapAnswer a = k.Get(r.cap, r.msg);
        ASSERT_EQ(a.rc, TWRC_SUCCESS) << "cc " << a.cc;
        EXPECT_EQ(a.conType, r.conType);
        EXPECT_EQ(a.itemType, r.itemType);
        EXPECT_EQ(a.items, r.items);
        if (r.conType == TWON_ENUMERATION) {
            EXPECT_EQ(a.current, r.current);
            EXPECT_EQ(a.deflt, r.deflt);
        }
    }
}

TEST(OwnSettings, AnswersOfAFreshSource) {
    // capability          message           shape             item type    items      cur def
    const GetRow rows[] = {
        {CAP_UICONTROLLABLE, MSG_GET, TWON_ONEVALUE, TWTY_BOOL, {1}, 0, 0},
        {CAP_ENABLEDSUIONLY, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_BOOL, {1}, 0, 0},
        {CAP_CUSTOMDSDATA, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_BOOL, {1}, 0, 0},
        {CAP_DEVICEONLINE, MSG_GET, TWON_ONEVALUE, TWTY_BOOL, {1}, 0, 0},
        {ICAP_IMAGEFILEFORMAT, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {TWFF_BMP}, 0, 0},
        {ICAP_BITORDER, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {TWBO_MSBFIRST}, 0, 0},
        {ICAP_PLANARCHUNKY, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {TWPC_CHUNKY}, 0, 0},
        {ICAP_MAXFRAMES, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {1}, 0, 0},
        {CAP_INDICATORS, MSG_GET, TWON_ONEVALUE, TWTY_BOOL, {1}, 0, 0},
        {ICAP_EXTIMAGEINFO, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_BOOL, {1}, 0, 0},
        {CCAP_QUIETERRORS, MSG_GET, TWON_ONEVALUE, TWTY_BOOL, {0}, 0, 0},
        {CAP_XFERCOUNT, MSG_GET, TWON_ONEVALUE, TWTY_INT16, {kMinus1}, 0, 0},
        {CAP_XFERCOUNT, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_INT16, {kMinus1}, 0, 0},
        {ICAP_PIXELFLAVOR, MSG_GET, TWON_ENUMERATION, TWTY_UINT16, {0, 1}, 0, 0},
        {ICAP_PIXELFLAVOR, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {0}, 0, 0},
        {ICAP_UNITS, MSG_GET, TWON_ENUMERATION, TWTY_UINT16, {0, 1, 5}, 0, 0},
        {ICAP_UNITS, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {0}, 0, 0},
        {ICAP_XFERMECH, MSG_GET, TWON_ENUMERATION, TWTY_UINT16, {0, 1, 2}, 0, 0},
        {ICAP_XFERMECH, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {0}, 0, 0},
        {ICAP_COMPRESSION, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {TWCP_NONE}, 0, 0},
        {ICAP_COMPRESSION, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {TWCP_NONE}, 0, 0},
    };
    OpenKit k;
    ExpectAnswers(k, rows);
}

TEST(OwnSettings, SupportedListAndQuerySupport) {
    OpenKit k;
    const CapAnswer list = k.Get(CAP_SUPPORTEDCAPS);
    EXPECT_EQ(list.conType, TWON_ARRAY);
    const std::vector<TW_UINT32> forty = {
        0x8100, 0x1007, 0x1010, 0x1015, 0x100F, 0x1012, 0x1013, 0x1014, 0x1016, 0x1002,
        0x1003, 0x100B, 0x1017, 0x100D, 0x100E, 0x0001, 0x1100, 0x112B, 0x112C, 0x111C,
        0x1101, 0x0100, 0x1103, 0x112F, 0x1114, 0x1109, 0x110C, 0x111A, 0x1130, 0x1131,
        0x1111, 0x1112, 0x111F, 0x0101, 0x1120, 0x1122, 0x0102, 0x0103, 0x1118, 0x1119};
    EXPECT_EQ(list.items, forty);
    // Every listed capability answers all messages or only the gets.
    const std::vector<TW_UINT32> getsOnly = {CAP_FEEDERLOADED, CAP_PAPERDETECTABLE, CAP_UICONTROLLABLE,
                                             CAP_DEVICEONLINE, CAP_DUPLEX, CAP_ENABLEDSUIONLY, CAP_CUSTOMDSDATA,
                                             ICAP_PHYSICALWIDTH, ICAP_PHYSICALHEIGHT, ICAP_MAXFRAMES,
                                             ICAP_MINIMUMHEIGHT, ICAP_MINIMUMWIDTH};
    for (TW_UINT32 code : forty) {
        const bool gets = std::find(getsOnly.begin(), getsOnly.end(), code) != getsOnly.end();
        const CapAnswer q = k.Get(static_cast<TW_UINT16>(code), MSG_QUERYSUPPORT);
        EXPECT_EQ(q.itemType, TWTY_INT32) << std::hex << code;
        EXPECT_EQ(q.value(), gets ? 0x0Du : 0x1Fu) << std::hex << code;
    }
    // code                   answer
    const std::pair<TW_UINT16, TW_UINT32> others[] = {
        {CAP_SUPPORTEDCAPS, 0x0D}, {ICAP_LIGHTPATH, 0}, {0x1129, 0}, {0x8765, 0}};
    for (const auto &[code, value] : others) EXPECT_EQ(k.Get(code, MSG_QUERYSUPPORT).value(), value) << std::hex << code;
}

struct SetRow {
    TW_UINT16 cap;
    TW_UINT16 conType;
    std::vector<BYTE> bytes;
    TW_UINT16 rc, cc;
    TW_UINT32 currentAfter;  // MSG_GETCURRENT afterwards
};

TEST(OwnSettings, SetsTakeOnlyWhatTheyAccept) {
    const auto one = OneValueBytes;
    // capability        container         bytes                                 rc            cc                   current after
    const SetRow rows[] = {
        {ICAP_UNITS, TWON_ONEVALUE, one(TWTY_UINT16, TWUN_CENTIMETERS), TWRC_SUCCESS, 0, TWUN_CENTIMETERS},
        {ICAP_UNITS, TWON_ONEVALUE, one(TWTY_UINT16, TWUN_POINTS), TWRC_FAILURE, TWCC_BADVALUE, TWUN_CENTIMETERS},
        {ICAP_UNITS, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {0, 5}, 1), TWRC_SUCCESS, 0, TWUN_PIXELS},
        {ICAP_UNITS, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {0, 1, 5, 0, 1, 5}, 0), TWRC_FAILURE, TWCC_LOWMEMORY,
         TWUN_PIXELS},
        {ICAP_UNITS, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {}, 0), TWRC_FAILURE, TWCC_BADVALUE, TWUN_PIXELS},
        {ICAP_UNITS, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {0, 7}, 0), TWRC_FAILURE, TWCC_BADVALUE, TWUN_PIXELS},
        {ICAP_UNITS, TWON_RANGE, std::vector<BYTE>(22), TWRC_FAILURE, TWCC_BADVALUE, TWUN_PIXELS},
        {ICAP_XFERMECH, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {2, 0}, 0), TWRC_SUCCESS, 0, TWSX_MEMORY},
        {ICAP_XFERMECH, TWON_ONEVALUE, one(TWTY_UINT16, 3), TWRC_FAILURE, TWCC_BADVALUE, TWSX_MEMORY},
        {ICAP_PIXELFLAVOR, TWON_ONEVALUE, one(TWTY_UINT16, TWPF_VANILLA), TWRC_SUCCESS, 0, TWPF_VANILLA},
        {ICAP_PIXELFLAVOR, TWON_ONEVALUE, one(TWTY_UINT16, 2), TWRC_FAILURE, TWCC_BADVALUE, TWPF_VANILLA},
        {ICAP_PIXELFLAVOR, TWON_ONEVALUE, one(TWTY_BOOL, 0), TWRC_FAILURE, TWCC_BADVALUE, TWPF_VANILLA},
        {ICAP_EXTIMAGEINFO, TWON_ONEVALUE, one(TWTY_UINT16, 0), TWRC_SUCCESS, 0, 0},
        {ICAP_EXTIMAGEINFO, TWON_ENUMERATION, EnumBytes(TWTY_BOOL, {1}, 0), TWRC_FAILURE, TWCC_BADVALUE, 0},
        {CAP_INDICATORS, TWON_ONEVALUE, one(TWTY_UINT16, 0), TWRC_FAILURE, TWCC_BADVALUE, 1},
        {CAP_INDICATORS, TWON_ONEVALUE, one(TWTY_BOOL, 0), TWRC_SUCCESS, 0, 0},
        {CAP_XFERCOUNT, TWON_ONEVALUE, one(TWTY_UINT16, 3), TWRC_FAILURE, TWCC_BADVALUE, kMinus1},
        {CAP_XFERCOUNT, TWON_ONEVALUE, one(TWTY_INT16, 3), TWRC_SUCCESS, 0, 3},
        {ICAP_BITORDER, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {0, 1}, 1), TWRC_SUCCESS, 0, TWBO_MSBFIRST},
        {ICAP_BITORDER, TWON_ONEVALUE, one(TWTY_UINT16, 0), TWRC_FAILURE, TWCC_BADVALUE, TWBO_MSBFIRST},
        {ICAP_PLANARCHUNKY, TWON_ONEVALUE, one(TWTY_UINT16, TWPC_PLANAR), TWRC_FAILURE, TWCC_BADVALUE, TWPC_CHUNKY},
        {ICAP_IMAGEFILEFORMAT, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {2}, 0), TWRC_FAILURE, TWCC_BADVALUE, TWFF_BMP},
        {ICAP_IMAGEFILEFORMAT, TWON_ONEVALUE, one(TWTY_UINT16, TWFF_BMP), TWRC_SUCCESS, 0, TWFF_BMP},
        {ICAP_COMPRESSION, TWON_ONEVALUE, one(TWTY_UINT16, TWCP_GROUP4), TWRC_FAILURE, TWCC_BADVALUE, TWCP_NONE},
        {ICAP_COMPRESSION, TWON_ONEVALUE, one(TWTY_UINT16, TWCP_NONE), TWRC_SUCCESS, 0, TWCP_NONE},
    };
    OpenKit k;
    for (const SetRow &r : rows) {
        SCOPED_TRACE(testing::Message() << "cap 0x" << std::hex << r.cap << " container " << r.conType);
        const CapAnswer a = Send(k.kit, k.app, r.cap, r.conType, r.bytes);
        EXPECT_EQ(a.rc, r.rc);
        EXPECT_EQ(a.cc, r.cc);
        EXPECT_EQ(k.Get(r.cap, MSG_GETCURRENT).value(), r.currentAfter);
    }
    // Memory current and file not allowed: the list starts with memory, native is the default.
    const CapAnswer mech = k.Get(ICAP_XFERMECH);
    EXPECT_EQ(mech.items, (std::vector<TW_UINT32>{2, 0}));
    EXPECT_EQ(mech.current, 0u);
    EXPECT_EQ(mech.deflt, 1u);
    EXPECT_EQ(k.Get(ICAP_UNITS).items, (std::vector<TW_UINT32>{0, 5})) << "restricted to the listed units";
}

// Driver codes 1 none, 4 Group 4, 5 LZW and 50006 PackBits, in the driver's order.
TEST(OwnSettings, CompressionsTheDriverOffers) {
    OpenKit k(SampleProfile("choice-shapes.ini"));
    CapAnswer list = k.Get(ICAP_COMPRESSION);
    ASSERT_EQ(list.rc, TWRC_SUCCESS) << list.cc;
    EXPECT_EQ(list.conType, TWON_ENUMERATION);
    EXPECT_EQ(list.itemType, TWTY_UINT16);
    EXPECT_EQ(list.items, (std::vector<TW_UINT32>{TWCP_NONE, TWCP_GROUP4, TWCP_LZW, TWCP_PACKBITS}));
    EXPECT_EQ(list.deflt, 0u);
    // compression    cc              index current after
    const struct {
        TW_UINT16 value, cc;
        TW_UINT32 index, now;
    } rows[] = {
        {TWCP_PACKBITS, TWCC_SUCCESS, 3, TWCP_PACKBITS}, {TWCP_GROUP31D, TWCC_BADVALUE, 3, TWCP_PACKBITS},
        {TWCP_JPEG, TWCC_BADVALUE, 3, TWCP_PACKBITS},    {TWCP_LZW, TWCC_SUCCESS, 2, TWCP_LZW},
        {TWCP_GROUP4, TWCC_SUCCESS, 1, TWCP_GROUP4},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(k.Set(ICAP_COMPRESSION, TWTY_UINT16, r.value).cc, r.cc);
        EXPECT_EQ(k.Get(ICAP_COMPRESSION).current, r.index);
        EXPECT_EQ(k.Get(ICAP_COMPRESSION, MSG_GETCURRENT).value(), r.now);
    }
    EXPECT_EQ(k.Get(ICAP_COMPRESSION, MSG_GETDEFAULT).value(), TW_UINT32{TWCP_NONE});
    // The reset answers the driver's default and changes nothing.
    EXPECT_EQ(k.Reset(ICAP_COMPRESSION).value(), TW_UINT32{TWCP_NONE});
    EXPECT_EQ(k.Get(ICAP_COMPRESSION, MSG_GETCURRENT).value(), TW_UINT32{TWCP_GROUP4});
}

TEST(OwnSettings, SwitchesAnswerInTheApplicationsBlockAndResets) {
    OpenKit k;
    // The answer of an indicators set is written into the block the application sent.
    const CapAnswer set = k.Set(CAP_INDICATORS, TWTY_BOOL, 7);
    EXPECT_EQ(set.rc, TWRC_SUCCESS);
    EXPECT_EQ(set.items, (std::vector<TW_UINT32>{1}));
    // reset of            answer   current after
    const struct {
        TW_UINT16 cap;
        TW_UINT32 answer, currentAfter;
    } rows[] = {
        {CAP_INDICATORS, 1, 1},  {CCAP_QUIETERRORS, 0, 0}, {ICAP_UNITS, 0, 0},
        {ICAP_XFERMECH, 0, 0},   {ICAP_PIXELFLAVOR, 0, 0}, {CAP_XFERCOUNT, kMinus1, kMinus1},
        {ICAP_BITORDER, 1, 1},   {ICAP_PLANARCHUNKY, 0, 0}, {ICAP_IMAGEFILEFORMAT, 2, 2},
        {ICAP_EXTIMAGEINFO, 1, 0},  // answers its default and keeps the setting
    };
    k.Set(ICAP_EXTIMAGEINFO, TWTY_BOOL, 0);
    k.Set(ICAP_UNITS, TWTY_UINT16, TWUN_PIXELS);
    k.Set(CAP_XFERCOUNT, TWTY_INT16, 4);
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << "cap 0x" << std::hex << r.cap);
        const CapAnswer a = k.Reset(r.cap);
        ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
        EXPECT_EQ(a.value(), r.answer);
        EXPECT_EQ(k.Get(r.cap, MSG_GETCURRENT).value(), r.currentAfter);
    }
    EXPECT_EQ(k.Get(ICAP_UNITS).items, (std::vector<TW_UINT32>{0, 1, 5})) << "all units allowed again";
    // The transfer count tells the driver about single-transfer mode.
    k.kit.ResetCalls();
    k.Set(CAP_XFERCOUNT, TWTY_INT16, 1);
    EXPECT_GE(FindCall(k.kit.Calls(), "msg 0x321 tag 5363 value 1 "), 0);
    k.Reset(CAP_XFERCOUNT);
    EXPECT_GE(FindCall(k.kit.Calls(), "msg 0x321 tag 5363 value 0 "), 0);
}

TEST(OwnSettings, RefusalsOfTheFrame) {
    OpenKit k;
    // capability       message     condition code
    const struct {
        TW_UINT16 cap, msg, cc;
    } rows[] = {
        {CAP_DEVICEONLINE, MSG_SET, TWCC_CAPBADOPERATION}, {ICAP_MAXFRAMES, MSG_RESET, TWCC_CAPBADOPERATION},
        {CAP_SUPPORTEDCAPS, MSG_SET, TWCC_CAPBADOPERATION}, {ICAP_PHYSICALWIDTH, MSG_RESET, TWCC_CAPBADOPERATION},
        {0x1234, MSG_SET, TWCC_CAPUNSUPPORTED},            {0x1234, MSG_RESET, TWCC_CAPUNSUPPORTED},
        {0x1234, MSG_GET, TWCC_CAPUNSUPPORTED},            {ICAP_LIGHTPATH, MSG_GETCURRENT, TWCC_CAPUNSUPPORTED},
        {0x8123, MSG_GETDEFAULT, TWCC_CAPUNSUPPORTED},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << "cap 0x" << std::hex << r.cap << " msg 0x" << r.msg);
        const CapAnswer a = r.msg == MSG_SET ? k.Set(r.cap, TWTY_BOOL, 1) : Ask(k.kit, k.app, r.msg, r.cap);
        EXPECT_EQ(a.rc, TWRC_FAILURE);
        EXPECT_EQ(a.cc, r.cc);
    }
}

// A scanner whose driver announces capabilities of its own.
const std::string kOwnTags = std::string(kBasicProfile) +
                             "[Tag 1001]\nName=Gamma\nKind=long\nCapability=0x8101\nValues=1..10/1\nDefault=5\n"
                             "[Tag 1002]\nName=Mode\nKind=string\nCapability=0x8102\nValues=Fast;Fine;Best\nDefault=Fine\n"
                             "[Tag 1003]\nName=Lamp\nKind=long\nCapability=0x8103\nReadOnly=yes\nValues=1,2,3\nDefault=2\n";

TEST(DriverDefined, LongAndStringTagsAndTheReadOnlyFlag) {
    OpenKit k(kOwnTags);
    const CapAnswer range = k.Get(0x8101);
    ASSERT_EQ(range.rc, TWRC_SUCCESS) << range.cc;
    EXPECT_EQ(range.conType, TWON_RANGE);
    EXPECT_EQ(range.itemType, TWTY_INT32);
    EXPECT_EQ(range.items, (std::vector<TW_UINT32>{1, 10, 1, 5, 5}));
    EXPECT_EQ(k.Set(0x8101, TWTY_INT32, 7).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(0x8101, MSG_GETCURRENT).value(), 7u);
    EXPECT_EQ(k.Get(0x8101, MSG_GETDEFAULT).value(), 5u);
    EXPECT_EQ(Send(k.kit, k.app, 0x8101, TWON_ENUMERATION, EnumBytes(TWTY_INT32, {7}, 0)).cc, TWCC_BADVALUE);
    EXPECT_EQ(k.Reset(0x8101).value(), 5u);
    EXPECT_EQ(k.Get(0x8101, MSG_GETCURRENT).value(), 5u);

    const CapAnswer names = k.Get(0x8102);
    EXPECT_EQ(names.itemType, TWTY_STR32);
    EXPECT_EQ(names.names, (std::vector<std::string>{"Fast", "Fine", "Best"}));
    EXPECT_EQ(names.current, 1u);
    EXPECT_EQ(Send(k.kit, k.app, 0x8102, TWON_ONEVALUE, Str32Bytes("Best")).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(0x8102, MSG_GETCURRENT).names, (std::vector<std::string>{"Best"}));
    EXPECT_EQ(k.Reset(0x8102).names, (std::vector<std::string>{"Fine"}));

    const CapAnswer lamp = k.Get(0x8103);
    EXPECT_EQ(lamp.conType, TWON_ENUMERATION);
    EXPECT_EQ(lamp.items, (std::vector<TW_UINT32>{1, 2, 3}));
    EXPECT_EQ(lamp.current, 1u);
    EXPECT_EQ(lamp.deflt, 1u);
    EXPECT_EQ(k.Get(0x8103, MSG_QUERYSUPPORT).value(), 0x0Du);
    EXPECT_EQ(k.Get(0x8101, MSG_QUERYSUPPORT).value(), 0x1Fu);
    EXPECT_EQ(k.Set(0x8103, TWTY_INT32, 3).cc, TWCC_CAPBADOPERATION);
    EXPECT_EQ(k.Reset(0x8103).cc, TWCC_CAPBADOPERATION);
    // Not in the supported list.
    const CapAnswer list = k.Get(CAP_SUPPORTEDCAPS);
    EXPECT_EQ(std::count(list.items.begin(), list.items.end(), 0x8101u), 0);
}

// The sample scanner with tags of every kind: Sharpness 0x8101 (long, 0..10/1, 5), DropoutMask
// 0x8102 (kind 4, 0,1,2,4,8, 2), ScanCounter 0x8103 (kind 3, read-only, 4711), Gamma 0x8104
// (rational list 1, 1.8, 2.2, 2.5, default 2.2), OpticalDpi 0x8105 (rational 100..1200/100, 600),
// ColourDropout 0x8106 (None;Red;Green;Blue, Red) and Imprint 0x8107 (free text of 77 characters).
const std::string kImprint33 = "An imprint text longer than sixty";

TEST(DriverDefined, EveryKindOfTheSampleScanner) {
    // capability  message       shape             item type    items                                              cur def
    const GetRow rows[] = {
        {0x8101, MSG_GET, TWON_RANGE, TWTY_INT32, {0, 10, 1, 5, 5}, 0, 0},
        {0x8101, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_INT32, {5}, 0, 0},
        {0x8102, MSG_GET, TWON_ENUMERATION, TWTY_INT32, {0, 1, 2, 4, 8}, 2, 2},
        {0x8102, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_INT32, {2}, 0, 0},
        {0x8103, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_INT32, {4711}, 0, 0},
        {0x8103, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_INT32, {4711}, 0, 0},
        // 1.8 and 2.2 keep the fraction as tenths of 65536 / 10 (6553) steps.
        {0x8104, MSG_GET, TWON_ENUMERATION, TWTY_FIX32, {0x00000001, 0xCCC80001, 0x33320002, 0x80000002}, 2, 2},
        {0x8104, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_FIX32, {0x33320002}, 0, 0},
        {0x8105, MSG_GET, TWON_RANGE, TWTY_FIX32, {100, 1200, 100, 600, 600}, 0, 0},
        {0x8105, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_FIX32, {600}, 0, 0},
        {0x8106, MSG_GET, TWON_ENUMERATION, TWTY_STR32, {0, 0, 0, 0}, 1, 1},  // last byte of each name
        {0x8106, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_STR32, {0}, 0, 0},
        {0x8107, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_STR32, {0}, 0, 0},
    };
    OpenKit k(SampleProfile("driver-tags.ini"));
    ExpectAnswers(k, rows);
    EXPECT_EQ(k.Get(0x8106).names, (std::vector<std::string>{"None", "Red", "Green", "Blue"}));
    EXPECT_EQ(k.Get(0x8107, MSG_GETCURRENT).names, std::vector<std::string>{kImprint33}) << "cut to 33 characters";
    // Free text has no names to offer: MSG_GET answers the text it holds now, never success
    // without a container.
    const CapAnswer text = k.Get(0x8107);
    EXPECT_EQ(text.rc, TWRC_SUCCESS);
    EXPECT_EQ(text.conType, TWON_ONEVALUE);
    EXPECT_EQ(text.names, std::vector<std::string>{kImprint33});
    // A read-only long without choices offers none.
    EXPECT_EQ(k.Get(0x8103).cc, TWCC_CAPUNSUPPORTED);
    for (TW_UINT16 code : {0x8101, 0x8102, 0x8104, 0x8105, 0x8106, 0x8107})
        EXPECT_EQ(k.Get(code, MSG_QUERYSUPPORT).value(), 0x1Fu) << std::hex << code;
    EXPECT_EQ(k.Get(0x8103, MSG_QUERYSUPPORT).value(), 0x0Du);

    // In centimetres the default rational is converted and the current one is not.
    ASSERT_EQ(k.Set(ICAP_UNITS, TWTY_UINT16, TWUN_CENTIMETERS).rc, TWRC_SUCCESS);
    EXPECT_EQ(Whole(k.Get(0x8105, MSG_GETCURRENT).value()), 600);
    EXPECT_EQ(Whole(k.Get(0x8105, MSG_GETDEFAULT).value()), 236) << "600 per inch";
    EXPECT_EQ(Whole(k.Get(0x8105).value()), 39) << "100 per inch";
}

TEST(DriverDefined, SetsAndResetsByKind) {
    const auto one = OneValueBytes;
    // capability container       bytes                           rc            cc                   current after
    const SetRow rows[] = {
        {0x8101, TWON_ONEVALUE, one(TWTY_INT32, 7), TWRC_SUCCESS, 0, 7},
        // The driver keeps a long beyond its range at the end; a long is not read back.
        {0x8101, TWON_ONEVALUE, one(TWTY_INT32, 11), TWRC_SUCCESS, 0, 10},
        {0x8101, TWON_RANGE, std::vector<BYTE>(22), TWRC_FAILURE, TWCC_BADVALUE, 10},
        {0x8102, TWON_ONEVALUE, one(TWTY_INT32, 8), TWRC_SUCCESS, 0, 8},
        {0x8102, TWON_ONEVALUE, one(TWTY_INT32, 3), TWRC_FAILURE, TWCC_CAPUNSUPPORTED, 8},
        {0x8103, TWON_ONEVALUE, one(TWTY_INT32, 1), TWRC_FAILURE, TWCC_CAPBADOPERATION, 4711},
        // 2.5 goes to the driver as 5/2; 1.8 as 2/1, which the list lacks; 0.5 is below one.
        {0x8104, TWON_ONEVALUE, one(TWTY_FIX32, Fix(2.5)), TWRC_SUCCESS, 0, 0x80000002},
        {0x8104, TWON_ONEVALUE, one(TWTY_FIX32, Fix(1.8)), TWRC_FAILURE, TWCC_BADVALUE, 0x80000002},
        {0x8104, TWON_ONEVALUE, one(TWTY_FIX32, Fix(0.5)), TWRC_FAILURE, TWCC_BADVALUE, 0x80000002},
        {0x8104, TWON_ONEVALUE, one(TWTY_INT32, 1), TWRC_FAILURE, TWCC_BUMMER, 0x80000002},
        {0x8104, TWON_ONEVALUE, one(TWTY_FIX32, Fix(1)), TWRC_SUCCESS, 0, 0x00000001},
        {0x8105, TWON_ONEVALUE, one(TWTY_FIX32, Fix(700)), TWRC_SUCCESS, 0, 700},
        // The driver fits 650 onto its steps: what it keeps is not what was asked for.
        {0x8105, TWON_ONEVALUE, one(TWTY_FIX32, Fix(650)), TWRC_FAILURE, TWCC_BADVALUE, 600},
    };
    OpenKit k(SampleProfile("driver-tags.ini"));
    for (const SetRow &r : rows) {
        SCOPED_TRACE(testing::Message() << "cap 0x" << std::hex << r.cap << " row " << (&r - rows));
        const CapAnswer a = Send(k.kit, k.app, r.cap, r.conType, r.bytes);
        EXPECT_EQ(a.rc, r.rc);
        EXPECT_EQ(a.cc, r.cc);
        EXPECT_EQ(k.Get(r.cap, MSG_GETCURRENT).value(), r.currentAfter);
    }
    // string       value              rc            cc                   current after
    const struct {
        TW_UINT16 cap;
        const char *text;
        TW_UINT16 rc, cc;
        const char *after;
    } strings[] = {
        {0x8106, "Blue", TWRC_SUCCESS, 0, "Blue"},
        {0x8106, "Purple", TWRC_FAILURE, TWCC_CAPUNSUPPORTED, "Blue"},
        {0x8107, "Short imprint", TWRC_SUCCESS, 0, "Short imprint"},
    };
    for (const auto &r : strings) {
        SCOPED_TRACE(r.text);
        const CapAnswer a = Send(k.kit, k.app, r.cap, TWON_ONEVALUE, Str32Bytes(r.text));
        EXPECT_EQ(a.rc, r.rc);
        EXPECT_EQ(a.cc, r.cc);
        EXPECT_EQ(k.Get(r.cap, MSG_GETCURRENT).names, std::vector<std::string>{r.after});
    }
    // Each reset writes the default back and answers it.
    const struct {
        TW_UINT16 cap;
        TW_UINT32 answer;
    } resets[] = {{0x8101, 5}, {0x8102, 2}, {0x8104, 0x33320002}, {0x8105, 600}};
    for (const auto &r : resets) {
        SCOPED_TRACE(testing::Message() << "reset 0x" << std::hex << r.cap);
        EXPECT_EQ(k.Reset(r.cap).value(), r.answer);
        EXPECT_EQ(k.Get(r.cap, MSG_GETCURRENT).value(), r.answer);
    }
    EXPECT_EQ(k.Reset(0x8106).names, std::vector<std::string>{"Red"});
    EXPECT_EQ(k.Reset(0x8107).names, std::vector<std::string>{kImprint33});
    EXPECT_EQ(k.Get(0x8107, MSG_GETCURRENT).names, std::vector<std::string>{kImprint33}) << "the whole text is back";
    EXPECT_EQ(k.Reset(0x8103).cc, TWCC_CAPBADOPERATION);
}

// 120 capabilities 0x8200 to 0x8277 announced; the first 100 are kept.
TEST(DriverDefined, TheTableKeepsAHundred) {
    OpenKit k(SampleProfile("many-capabilities.ini"));
    // capability  query support  get
    const struct {
        TW_UINT16 cap;
        TW_UINT32 support;
        TW_UINT16 getCc;
    } rows[] = {
        {0x8200, 0x1F, 0}, {0x8263, 0x1F, 0}, {0x8264, 0, TWCC_CAPUNSUPPORTED}, {0x8277, 0, TWCC_CAPUNSUPPORTED},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(testing::Message() << "cap 0x" << std::hex << r.cap);
        const CapAnswer q = k.Get(r.cap, MSG_QUERYSUPPORT);
        EXPECT_EQ(q.rc, TWRC_SUCCESS);
        EXPECT_EQ(q.value(), r.support);
        for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
            const CapAnswer a = k.Get(r.cap, msg);
            if (r.getCc) {
                EXPECT_EQ(a.cc, r.getCc) << "msg " << msg;
                continue;
            }
            EXPECT_EQ(a.items, msg == MSG_GET ? (std::vector<TW_UINT32>{0, 100, 1, 50, 50}) : std::vector<TW_UINT32>{50});
        }
        EXPECT_EQ(k.Set(r.cap, TWTY_INT32, 70).cc, r.getCc ? r.getCc : TWCC_SUCCESS);
        EXPECT_EQ(k.Reset(r.cap).cc, r.getCc ? r.getCc : TWCC_SUCCESS);
    }
    const CapAnswer list = k.Get(CAP_SUPPORTEDCAPS);
    EXPECT_EQ(list.items.size(), 40u);
    EXPECT_EQ(std::count_if(list.items.begin(), list.items.end(), [](TW_UINT32 c) { return c >= 0x8200; }), 0)
        << "the driver's own capabilities are not listed";
}

}  // namespace
