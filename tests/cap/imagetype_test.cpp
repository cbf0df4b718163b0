// The pixel type over scanners with different modes: the offered list, setting each type, and
// restricting the modes with an enumeration.
#include "captest.h"

namespace {

const std::string kAllModes = std::string(kBasicProfile) + "GrayDepths=4,8\nColorDepths=8\nPaletteDepths=4,8\n";
const std::string kBitonalAndGray = std::string(kBasicProfile) + "GrayDepths=8\nColorDepths=\nPaletteDepths=\n";

TEST(PixelType, OfferedTypesAndEachSet) {
    struct Row {
        const std::string *profile;
        std::vector<TW_UINT32> offered;
    };
    // profile           offered types
    const Row rows[] = {
        {&kAllModes, {TWPT_BW, TWPT_GRAY, TWPT_RGB, TWPT_PALETTE}},
        {&kBitonalAndGray, {TWPT_BW, TWPT_GRAY}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(*r.profile);
        OpenKit k(*r.profile);
        const CapAnswer a = k.Get(ICAP_PIXELTYPE);
        ASSERT_EQ(a.rc, TWRC_SUCCESS) << a.cc;
        EXPECT_EQ(a.items, r.offered);
        EXPECT_EQ(a.deflt, 0u);
        EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETDEFAULT).value(), TW_UINT32{TWPT_BW});
        for (TW_UINT32 type : r.offered) {
            EXPECT_EQ(k.Set(ICAP_PIXELTYPE, TWTY_UINT16, type).rc, TWRC_SUCCESS) << type;
            EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(), type);
            EXPECT_EQ(a.items[k.Get(ICAP_PIXELTYPE).current], type) << "the current index follows";
        }
        if (r.offered.size() == 2) {
            EXPECT_EQ(k.Set(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB).cc, TWCC_BADVALUE);
        }
        EXPECT_EQ(k.Reset(ICAP_PIXELTYPE).value(), TW_UINT32{TWPT_BW});
        EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(), TW_UINT32{TWPT_BW});
    }
}

TEST(PixelType, AnEnumerationRestrictsTheModes) {
    OpenKit k(kAllModes);
    k.kit.ResetCalls();
    const CapAnswer set = Send(k.kit, k.app, ICAP_PIXELTYPE, TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {TWPT_BW, TWPT_RGB}, 1));
    EXPECT_EQ(set.rc, TWRC_SUCCESS) << set.cc;
    // Allowed: bit 0 and bits 16..28; written as their complement with the modes never enabled.
    const LONG written = static_cast<LONG>(~(0x1u | 0x1FFF0000u) | 0x1F7FFF76u);
    EXPECT_GE(FindCall(k.kit.Calls(), "msg 0x321 tag 5371 value " + std::to_string(written) + " "), 0);
    EXPECT_EQ(k.Get(ICAP_PIXELTYPE).items, (std::vector<TW_UINT32>{TWPT_BW, TWPT_RGB}));
    EXPECT_EQ(k.Get(ICAP_PIXELTYPE, MSG_GETCURRENT).value(), TW_UINT32{TWPT_RGB});
    // Lists that would disable every mode are refused before the driver hears of them.
    k.kit.ResetCalls();
    // items                      condition code
    const struct {
        TW_UINT16 conType;
        std::vector<BYTE> bytes;
        TW_UINT16 cc;
    } refused[] = {
        {TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {}, 0), TWCC_BADVALUE},
        {TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {6}, 0), TWCC_BADVALUE},  // CMY only
        {TWON_ENUMERATION, EnumBytes(TWTY_UINT16, {0, 1, 2, 3, 0, 1}, 0), TWCC_LOWMEMORY},
        {TWON_RANGE, std::vector<BYTE>(22), TWCC_BADPROTOCOL},
    };
    for (const auto &r : refused) {
        const CapAnswer a = Send(k.kit, k.app, ICAP_PIXELTYPE, r.conType, r.bytes);
        EXPECT_EQ(a.rc, TWRC_FAILURE);
        EXPECT_EQ(a.cc, r.cc);
    }
    EXPECT_EQ(FindCall(k.kit.Calls(), "msg 0x321 tag 5371"), -1);
    EXPECT_EQ(k.Reset(ICAP_PIXELTYPE).rc, TWRC_SUCCESS);
    EXPECT_EQ(k.Get(ICAP_PIXELTYPE).items.size(), 4u) << "every mode again";
}

}  // namespace
