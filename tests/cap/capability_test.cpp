// The capability gate, the supported list, set and reset of what is not negotiated and the
// quiet-errors switch, through the entry.
#include <iterator>

#include "kitsource.h"

namespace {

constexpr TW_UINT16 CCAP_QUIETERRORS = 0x8100;

HGLOBAL NewOneValue(TW_UINT16 type, TW_UINT32 item) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, sizeof(TW_ONEVALUE));
    *static_cast<TW_ONEVALUE *>(GlobalLock(h)) = TW_ONEVALUE{type, item};
    GlobalUnlock(h);
    return h;
}

class Capabilities : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(kit.Open(app), TWRC_SUCCESS); }
    void TearDown() override { kit.Close(app); }
    TW_UINT16 Cap(TW_UINT16 msg, TW_CAPABILITY &cap) {
        return kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, msg, &cap);
    }
    KitSource kit;
    TW_IDENTITY app = AppId(31);
};

TEST(CapabilityGate, ClosedSourceAndForeignCallers) {
    KitSource kit;
    TW_IDENTITY app = AppId(31), other = AppId(32);
    TW_CAPABILITY cap{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
    EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE,
                 TWCC_SEQERROR);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    EXPECT_TWAIN(kit.src(), &other, kit.src().Call(&other, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_FAILURE,
                 TWCC_MAXCONNECTIONS);
    EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, nullptr), TWRC_FAILURE,
                 TWCC_BADVALUE);
    EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, 0x0009, &cap), TWRC_FAILURE,
                 TWCC_BADPROTOCOL);
    kit.Close(app);
}

// The forty negotiated capabilities, in the order of the source's name table.
constexpr TW_UINT16 kSupportedCaps[] = {
    CCAP_QUIETERRORS,    CAP_AUTOFEED,        CAP_AUTOSCAN,         CAP_CUSTOMDSDATA,       CAP_DEVICEONLINE,
    CAP_DUPLEX,          CAP_DUPLEXENABLED,   CAP_ENABLEDSUIONLY,   CAP_ENDORSER,           CAP_FEEDERENABLED,
    CAP_FEEDERLOADED,    CAP_INDICATORS,      CAP_JOBCONTROL,       CAP_PAPERDETECTABLE,    CAP_UICONTROLLABLE,
    CAP_XFERCOUNT,       ICAP_AUTOBRIGHT,     ICAP_BITDEPTH,        ICAP_BITDEPTHREDUCTION, ICAP_BITORDER,
    ICAP_BRIGHTNESS,     ICAP_COMPRESSION,    ICAP_CONTRAST,        ICAP_EXTIMAGEINFO,      ICAP_FRAMES,
    ICAP_HALFTONES,      ICAP_IMAGEFILEFORMAT, ICAP_MAXFRAMES,      ICAP_MINIMUMHEIGHT,     ICAP_MINIMUMWIDTH,
    ICAP_PHYSICALWIDTH,  ICAP_PHYSICALHEIGHT, ICAP_PIXELFLAVOR,     ICAP_PIXELTYPE,         ICAP_PLANARCHUNKY,
    ICAP_SUPPORTEDSIZES, ICAP_UNITS,          ICAP_XFERMECH,        ICAP_XRESOLUTION,       ICAP_YRESOLUTION,
};
static_assert(std::size(kSupportedCaps) == 40, "forty capabilities");

TEST_F(Capabilities, SupportedCapsListsTheFortyInOrder) {
    TW_CAPABILITY cap{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
    ASSERT_EQ(Cap(MSG_GET, cap), TWRC_SUCCESS);
    ASSERT_EQ(cap.ConType, TWON_ARRAY);
    auto *a = static_cast<TW_ARRAY *>(GlobalLock(cap.hContainer));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->ItemType, TWTY_UINT16);
    ASSERT_EQ(a->NumItems, 40u);
    EXPECT_GE(GlobalSize(cap.hContainer), 8u + 80u);
    const auto *codes = reinterpret_cast<const TW_UINT16 *>(a->ItemList);
    EXPECT_EQ(std::vector<TW_UINT16>(codes, codes + a->NumItems),
              std::vector<TW_UINT16>(std::begin(kSupportedCaps), std::end(kSupportedCaps)));
    GlobalUnlock(cap.hContainer);
    GlobalFree(cap.hContainer);
}

// MSG_SET and MSG_RESET of a capability the source does not negotiate and the driver has not
// announced: TWCC_CAPUNSUPPORTED, which an application of protocol 1.5 or older sees as TWCC_BADCAP.
// The application's container is neither replaced nor freed, and a reset builds none.
TEST(CapabilitySetReset, UnsupportedCapabilitiesAreRefused) {
    struct Row {
        TW_UINT16 major, minor;
        TW_UINT16 cc;
    };
    // protocol      condition code
    const Row rows[] = {
        {1, 9, TWCC_CAPUNSUPPORTED}, {1, 6, TWCC_CAPUNSUPPORTED}, {2, 0, TWCC_CAPUNSUPPORTED},
        {1, 5, TWCC_BADCAP},         {1, 0, TWCC_BADCAP},         {0, 9, TWCC_BADCAP},
    };
    const TW_UINT16 unsupported[] = {ICAP_LIGHTPATH, CAP_AUTHOR, ICAP_ORIENTATION, 0x1129, 0x8103, 0, 0xFFFF};
    for (const Row &r : rows) {
        SCOPED_TRACE(std::to_string(r.major) + "." + std::to_string(r.minor));
        KitSource kit;
        TW_IDENTITY app = AppId(34, r.major, r.minor);
        ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
        for (TW_UINT16 code : unsupported) {
            SCOPED_TRACE(code);
            HGLOBAL mine = NewOneValue(TWTY_UINT16, 1);
            TW_CAPABILITY cap{code, TWON_ONEVALUE, mine};
            EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap),
                         TWRC_FAILURE, r.cc);
            EXPECT_EQ(cap.hContainer, mine);
            EXPECT_EQ(GlobalSize(mine), sizeof(TW_ONEVALUE)) << "still the application's";
            GlobalFree(mine);
            cap = {code, TWON_DONTCARE16, nullptr};
            EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_RESET, &cap),
                         TWRC_FAILURE, r.cc);
            EXPECT_EQ(cap.hContainer, nullptr);
        }
        EXPECT_TWAIN(kit.src(), &app, kit.Close(app), TWRC_SUCCESS, 0);
    }
}

TEST_F(Capabilities, QuietErrorsSetGetReset) {
    TW_CAPABILITY cap{CCAP_QUIETERRORS, TWON_DONTCARE16, nullptr};
    ASSERT_EQ(Cap(MSG_GETDEFAULT, cap), TWRC_SUCCESS);
    EXPECT_EQ(TakeOneValue(cap).item, 0u);
    // Only TWTY_BOOL in a one-value is taken.
    cap = {CCAP_QUIETERRORS, TWON_ONEVALUE, NewOneValue(TWTY_UINT16, 1)};
    EXPECT_TWAIN(kit.src(), &app, Cap(MSG_SET, cap), TWRC_FAILURE, TWCC_BADVALUE);
    GlobalFree(cap.hContainer);
    cap = {CCAP_QUIETERRORS, TWON_ENUMERATION, NewOneValue(TWTY_BOOL, 1)};
    EXPECT_TWAIN(kit.src(), &app, Cap(MSG_SET, cap), TWRC_FAILURE, TWCC_BADVALUE);
    GlobalFree(cap.hContainer);
    cap = {CCAP_QUIETERRORS, TWON_ONEVALUE, nullptr};
    EXPECT_TWAIN(kit.src(), &app, Cap(MSG_SET, cap), TWRC_FAILURE, TWCC_BADVALUE);
    // TRUE (any non-zero) is stored and answered in the application's own container.
    HGLOBAL mine = NewOneValue(TWTY_BOOL, 7);
    cap = {CCAP_QUIETERRORS, TWON_ONEVALUE, mine};
    EXPECT_TWAIN(kit.src(), &app, Cap(MSG_SET, cap), TWRC_SUCCESS, 0);
    EXPECT_EQ(cap.hContainer, mine);
    OneValueAnswer answered = TakeOneValue(cap);
    EXPECT_EQ(answered.type, TWTY_BOOL);
    EXPECT_EQ(answered.item, 1u);
    cap = {CCAP_QUIETERRORS, TWON_DONTCARE16, nullptr};
    ASSERT_EQ(Cap(MSG_GETCURRENT, cap), TWRC_SUCCESS);
    EXPECT_EQ(TakeOneValue(cap).item, 1u);
    ASSERT_EQ(Cap(MSG_RESET, cap), TWRC_SUCCESS);
    EXPECT_EQ(TakeOneValue(cap).item, 0u);
    ASSERT_EQ(Cap(MSG_GET, cap), TWRC_SUCCESS);
    EXPECT_EQ(TakeOneValue(cap).item, 0u);
}

TEST(Yield, NothingToServeAnswersZero) {
    Source src;
    auto yield = src.Proc<LONG(WINAPI *)()>("TwJexYield");
    ASSERT_NE(yield, nullptr);
    PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
    EXPECT_EQ(yield(), 0);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE)) << "messages of others are left alone";
}

}  // namespace
