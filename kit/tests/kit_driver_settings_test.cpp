// Driver messages 0x348 and 0x349: the driver hands every setting to a collect call-back and
// restores settings through a look-up call-back. The call-backs here keep a "name=value:" text
// and look names up with the data source's rule (an entry matches a requested name that begins
// with the entry's name), so the test also checks that no setting's name is the beginning of
// another's.
#include "kit_driver_fixture.h"

#include <map>

namespace {

struct Store {
    std::vector<std::pair<std::string, std::string>> collected;
    std::string text = "Version=1.78:";   // what the data source's collect call-back builds
    int failAt = -1;                      // answer call number failAt with -4500
    int calls = 0;
    std::vector<std::string> asked;       // names looked up, in order
    std::map<std::string, std::string> answers;
} g_store;

LONG WINAPI Collect(LONG, LPCSTR name, LPCSTR value, LONG) {
    if (g_store.calls++ == g_store.failAt) return -4500;
    g_store.collected.push_back({name ? name : "<null>", value ? value : "<null>"});
    if (name && value) g_store.text += std::string(name) + "=" + value + ":";
    return 0;
}

// The data source's look-up over the text: skip to after the next ":", the entry's name runs to
// "=", and it matches when the requested name begins with it.
std::string LookUpInText(const std::string &text, const std::string &name) {
    size_t at = 0;
    for (;;) {
        size_t colon = text.find(':', at);
        if (colon == std::string::npos) return "";
        size_t eq = text.find('=', colon + 1);
        if (eq == std::string::npos) return "";
        std::string entry = text.substr(colon + 1, eq - colon - 1);
        if (name.compare(0, entry.size(), entry) == 0) {
            size_t end = text.find(':', eq + 1);
            return end == std::string::npos ? "" : text.substr(eq + 1, end - eq - 1);
        }
        at = eq;
    }
}

LONG WINAPI LookUp(LONG, LPCSTR name, LONG, LPSTR out, LONG size, LONG) {
    if (g_store.calls++ == g_store.failAt) return -4500;
    std::string n = name ? name : "";
    g_store.asked.push_back(n);
    std::string v = LookUpInText(g_store.text, n);
    if (static_cast<LONG>(v.size()) >= size) v.resize(size - 1);
    memcpy(out, v.c_str(), v.size() + 1);
    return 0;
}

std::string Value(const std::string &name) {
    for (const auto &e : g_store.collected)
        if (e.first == name) return e.second;
    return "<not collected>";
}

std::string Text(const JEXDRIVER &d, LONG tag) {
    char t[256] = {};
    Msg(d, 0x312, tag | (255 << 16), reinterpret_cast<LONG>(t));
    return t;
}

std::vector<LONG> Rational(const JEXDRIVER &d, LONG tag) {
    LONG r[2] = {};
    Msg(d, 0x311, tag, reinterpret_cast<LONG>(r));
    return {r[0], r[1]};
}

// Every setting a user can change, by the names the settings text carries (kBase profile: text
// endorser, page sizes, job separators, the driver-defined Sharpness tag).
const std::vector<std::string> kSettings = {
    "ModeLimit",   "SamplesPerPixel", "BitsPerSample", "Photometric", "Compression",  "Orientation",
    "Planar",      "LinkResolutions", "XResolution",   "YResolution", "PageSize",     "XPosition",
    "YPosition",   "ImageWidth",      "ImageLength",   "Halftone",    "Contrast",     "Brightness",
    "AutoFeed",    "TextEnhance",     "SinglePage",    "PaperSource", "PageCount",    "EndorserText",
    "EndorserMode", "JobControl",     "PreviewFormat", "PaletteSize", "Sharpness",
};

class KitSettings : public KitDriver {
protected:
    void SetUp() override {
        KitDriver::SetUp();
        g_store = Store{};
    }
};

}  // namespace

TEST_F(KitSettings, EverySettingIsCollectedWithItsCurrentValue) {
    Open();
    ASSERT_EQ(0, Msg(scanner, 0x321, 1281, 77));
    LONG res[2] = {300, 1};
    ASSERT_EQ(0, Msg(scanner, 0x322, 282, reinterpret_cast<LONG>(res)));
    ASSERT_EQ(0, Msg(scanner, 0x320, 1280, reinterpret_cast<LONG>("Dither 8x8")));
    ASSERT_EQ(0, Msg(scanner, 0x320, 1411, reinterpret_cast<LONG>("PAID")));
    ASSERT_EQ(0, Msg(scanner, 0x321, 6001, 9));
    k.resetCalls();
    ASSERT_EQ(0, Msg(scanner, 0x348, reinterpret_cast<LONG>(&Collect), 0));
    EXPECT_EQ((std::vector<std::string>{"msg 0x348 callback = 0"}), Calls());
    std::vector<std::string> names;
    for (const auto &e : g_store.collected) names.push_back(e.first);
    EXPECT_EQ(kSettings, names);
    EXPECT_EQ("77", Value("Contrast"));
    EXPECT_EQ("300/1", Value("XResolution"));
    EXPECT_EQ("300/1", Value("YResolution"));       // linked to X by 5374
    EXPECT_EQ("Dither 8x8", Value("Halftone"));
    EXPECT_EQ("PAID", Value("EndorserText"));
    EXPECT_EQ("9", Value("Sharpness"));
    EXPECT_EQ("Letter", Value("PageSize"));          // the default page size ...
    EXPECT_EQ(std::to_string(GetLong(scanner, 256)), Value("ImageWidth"));  // ... scaled to 300 dpi
    // read-only tags, call-back pointers and the dialog bracket are no settings
    for (const char *n : {"DeviceFeatures", "OwnDialog", "YieldProc", "PreviewProc", "DialogActive", "SeparatorFound"})
        EXPECT_EQ("<not collected>", Value(n)) << n;
    // the look-up matches by prefix: no name may begin another
    for (const std::string &a : kSettings)
        for (const std::string &b : kSettings)
            EXPECT_TRUE(a == b || b.compare(0, a.size(), a) != 0) << a << " is the beginning of " << b;
}

TEST_F(KitSettings, RestoredValuesAreApplied) {
    Open();
    // a palette-4 scan at 300 dpi of an A4 frame moved inwards, and other changes
    ASSERT_EQ(0, Msg(scanner, 0x321, 258, 4));
    ASSERT_EQ(0, Msg(scanner, 0x321, 262, 3));
    LONG res[2] = {300, 1};
    ASSERT_EQ(0, Msg(scanner, 0x322, 282, reinterpret_cast<LONG>(res)));
    ASSERT_EQ(0, Msg(scanner, 0x320, 1294, reinterpret_cast<LONG>("A4")));
    ASSERT_EQ(0, Msg(scanner, 0x321, 286, 120));
    ASSERT_EQ(0, Msg(scanner, 0x321, 287, 90));
    ASSERT_EQ(0, Msg(scanner, 0x321, 256, 1600));
    ASSERT_EQ(0, Msg(scanner, 0x321, 257, 2000));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1282, -3));
    ASSERT_EQ(0, Msg(scanner, 0x321, 1300, 4));
    ASSERT_EQ(0, Msg(scanner, 0x320, 1280, reinterpret_cast<LONG>("Error Diffusion")));
    ASSERT_EQ(0, Msg(scanner, 0x321, 6001, 2));
    ASSERT_EQ(0, Msg(scanner, 0x348, reinterpret_cast<LONG>(&Collect), 0));
    // back to the defaults, then restored from the text
    ASSERT_EQ(0, Msg(scanner, 0x340, 0, 0));
    ASSERT_EQ((std::vector<LONG>{150, 1}), Rational(scanner, 282));  // the default
    g_store.calls = 0;
    k.resetCalls();
    ASSERT_EQ(0, Msg(scanner, 0x349, reinterpret_cast<LONG>(&LookUp), 0));
    EXPECT_EQ((std::vector<std::string>{"msg 0x349 callback = 0"}), Calls());
    EXPECT_EQ(kSettings, g_store.asked);             // once per setting, in the collect order
    EXPECT_EQ(1, GetLong(scanner, 277));
    EXPECT_EQ(4, GetLong(scanner, 258));
    EXPECT_EQ(3, GetLong(scanner, 262));
    EXPECT_EQ((std::vector<LONG>{300, 1}), Rational(scanner, 282));
    EXPECT_EQ((std::vector<LONG>{300, 1}), Rational(scanner, 283));
    EXPECT_EQ("A4", Text(scanner, 1294));
    EXPECT_EQ(120, GetLong(scanner, 286));           // the frame, not the page size's
    EXPECT_EQ(90, GetLong(scanner, 287));
    EXPECT_EQ(1600, GetLong(scanner, 256));
    EXPECT_EQ(2000, GetLong(scanner, 257));
    EXPECT_EQ(-3, GetLong(scanner, 1282));
    EXPECT_EQ(4, GetLong(scanner, 1300));
    EXPECT_EQ("Error Diffusion", Text(scanner, 1280));
    EXPECT_EQ(2, GetLong(scanner, 6001));
}

TEST_F(KitSettings, MissingNamesKeepTheirValuesAndTheCallBackMayComeAsValue) {
    Open();
    ASSERT_EQ(0, Msg(scanner, 0x321, 1281, 50));
    g_store.text = "Version=1.78:Contrast=90:Gamma=2:";
    ASSERT_EQ(0, Msg(scanner, 0x349, 0, reinterpret_cast<LONG>(&LookUp)));  // in the value word
    EXPECT_EQ(90, GetLong(scanner, 1281));
    EXPECT_EQ(128, GetLong(scanner, 1282));          // not in the text: unchanged
    EXPECT_EQ((std::vector<LONG>{150, 1}), Rational(scanner, 282));
    // a value the scanner does not offer is skipped, the rest still applied
    g_store = Store{};
    g_store.text = "Version=1.78:XResolution=301/1:Contrast=12:";
    ASSERT_EQ(0, Msg(scanner, 0x349, reinterpret_cast<LONG>(&LookUp), 0));
    EXPECT_EQ((std::vector<LONG>{150, 1}), Rational(scanner, 282));
    EXPECT_EQ(12, GetLong(scanner, 1281));
    g_store = Store{};
    ASSERT_EQ(0, Msg(scanner, 0x348, 0, reinterpret_cast<LONG>(&Collect)));
    EXPECT_EQ(kSettings.size(), g_store.collected.size());
    // a driver that reports no settings at all never calls back
    ASSERT_EQ(0, k.unload(&scanner));
    k.done();
    Open(std::string(kBase) + "[Scanner]\nReportSettings=no\n");
    g_store = Store{};
    g_store.text = "Version=1.78:Contrast=90:";
    EXPECT_EQ(0, Msg(scanner, 0x348, reinterpret_cast<LONG>(&Collect), 0));
    EXPECT_EQ(0, Msg(scanner, 0x349, reinterpret_cast<LONG>(&LookUp), 0));
    EXPECT_EQ(0, g_store.calls);
    EXPECT_EQ(128, GetLong(scanner, 1281));
}

TEST_F(KitSettings, AFailingCallBackEndsTheMessageWithItsError) {
    Open();
    g_store.failAt = 3;
    EXPECT_EQ(-4500, Msg(scanner, 0x348, reinterpret_cast<LONG>(&Collect), 0));
    EXPECT_EQ(4, g_store.calls);                     // nothing asked after the failure
    EXPECT_EQ(3u, g_store.collected.size());
    k.resetCalls();
    g_store = Store{};
    g_store.text = "Version=1.78:ModeLimit=0:SamplesPerPixel=3:Contrast=99:";
    g_store.failAt = 2;                              // BitsPerSample
    ASSERT_EQ(0, Msg(scanner, 0x321, 1281, 40));
    EXPECT_EQ(-4500, Msg(scanner, 0x349, reinterpret_cast<LONG>(&LookUp), 0));
    EXPECT_EQ(3, g_store.calls);
    EXPECT_EQ(3, GetLong(scanner, 277));             // applied before the failure
    EXPECT_EQ(40, GetLong(scanner, 1281));           // not reached
    EXPECT_TRUE(HasCall("msg 0x349 callback = -4500"));
    // no call-back at all
    EXPECT_EQ(-4501, Msg(scanner, 0x348, 0, 0));
    EXPECT_EQ(-4501, Msg(scanner, 0x349, 0, 0));
}
