// The negotiation property over every sample scanner: each value MSG_GET offers for a settable
// capability can be set, MSG_GETCURRENT then answers it, MSG_RESET brings back MSG_GETDEFAULT's
// value, and the close leaves no driver or image object behind.
#include <algorithm>

#include "captest.h"

namespace {

std::vector<std::string> SampleProfiles() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA("profiles\\*.ini", &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        // The failing samples never open.
        if (strncmp(found.cFileName, "fail-", 5) != 0) names.push_back(found.cFileName);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadProfile(const std::string &name) {
    std::string text = ReadFileText("profiles\\" + name);
    // A relative page folder is taken from the profile's folder: the copy lives elsewhere.
    const size_t at = text.find("Folder=..\\");
    if (at != std::string::npos) {
        char bin[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, bin);
        text.replace(at, 10, std::string("Folder=") + bin + "\\");
    }
    return text;
}

// Capabilities whose offered values are not each a value to set back, with the reason.
bool SkipValues(TW_UINT16 cap) {
    switch (cap) {
    case CAP_XFERCOUNT:      // the answer is the count, not a list of counts
    case CAP_ENDORSER:       // a counter, not a choice
    case ICAP_FRAMES:        // checked by the frame tests
        return true;
    default:
        return false;
    }
}

// Capabilities whose MSG_RESET does not bring back the default: their settings outlive it.
bool KeepsItsSettingAtReset(TW_UINT16 cap) {
    return cap == ICAP_EXTIMAGEINFO || cap == ICAP_COMPRESSION;
}

std::vector<BYTE> ValueBytes(const CapAnswer &offer, size_t i) {
    if (offer.itemType == TWTY_STR32) return Str32Bytes(offer.names[i]);
    return OneValueBytes(offer.itemType, offer.items[i]);
}

TEST(Negotiation, EveryOfferedValueSetsAndEveryResetRestoresTheDefault) {
    const auto profiles = SampleProfiles();
    ASSERT_GE(profiles.size(), 8u) << "the sample profiles are copied beside the tests";
    for (const std::string &name : profiles) {
        SCOPED_TRACE(name);
        KitSource kit(ReadProfile(name));
        TW_IDENTITY app = AppId(50);
        ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
        const CapAnswer list = Ask(kit, app, MSG_GET, CAP_SUPPORTEDCAPS);
        for (TW_UINT32 code32 : list.items) {
            const TW_UINT16 code = static_cast<TW_UINT16>(code32);
            if (Ask(kit, app, MSG_QUERYSUPPORT, code).value() != 0x1F) continue;
            SCOPED_TRACE(testing::Message() << "cap 0x" << std::hex << code);
            const CapAnswer offer = Ask(kit, app, MSG_GET, code);
            if (!offer.ok() || SkipValues(code)) continue;  // e.g. duplex on a simplex scanner
            // A range offers its ends; a list or one-value every item.
            std::vector<size_t> picks;
            if (offer.conType == TWON_RANGE) {
                picks = {0, 1};
            } else {
                for (size_t i = 0; i < offer.items.size(); ++i) picks.push_back(i);
            }
            for (size_t i : picks) {
                const std::vector<BYTE> bytes = ValueBytes(offer, i);
                const CapAnswer set = Send(kit, app, code, TWON_ONEVALUE, bytes);
                EXPECT_EQ(set.rc, TWRC_SUCCESS) << "item " << i << " cc " << set.cc;
                const CapAnswer now = Ask(kit, app, MSG_GETCURRENT, code);
                ASSERT_EQ(now.rc, TWRC_SUCCESS) << now.cc;
                if (offer.itemType == TWTY_STR32)
                    EXPECT_EQ(now.names, std::vector<std::string>{offer.names[i]});
                else
                    EXPECT_EQ(now.value(), offer.items[i]) << "item " << i;
            }
            const CapAnswer deflt = Ask(kit, app, MSG_GETDEFAULT, code);
            const CapAnswer reset = Ask(kit, app, MSG_RESET, code);
            // A default that cannot be named cannot be answered; one that needs another
            // capability changed first (the feeder in single-page mode) is refused as such.
            if (!deflt.ok() || reset.cc == TWCC_CAPSEQERROR) continue;
            EXPECT_EQ(reset.rc, TWRC_SUCCESS) << reset.cc;
            const CapAnswer now = Ask(kit, app, MSG_GETCURRENT, code);
            if (!now.ok()) continue;
            EXPECT_EQ(reset.items, deflt.items) << "the reset answers the default";
            if (!KeepsItsSettingAtReset(code)) {
                EXPECT_EQ(now.items, deflt.items) << "current after the reset";
                EXPECT_EQ(now.names, deflt.names);
            }
        }
        EXPECT_EQ(kit.Close(app), TWRC_SUCCESS);
        EXPECT_TRUE(kit.NoDriversLeft());
        EXPECT_EQ(kit.LiveImageObjects(), 0);
    }
}

}  // namespace
