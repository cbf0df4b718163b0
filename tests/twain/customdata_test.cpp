// The settings text of DAT_CUSTOMDSDATA taken out and handed back, the transfer group, and the
// driver message pass-through, against the virtual scanner: settings are read back through
// capabilities and through the driver itself, never through the text the source wrote.
#include <map>
#include <optional>

#include "xfer/xfertest.h"

namespace {

constexpr TW_UINT16 DAT_DRIVERMESSAGE = 0x8001;
constexpr TW_UINT16 MSG_DRIVERMESSAGE = 0x8001;
constexpr LONG kMsgGetLong = 0x310, kMsgGetString = 0x312, kMsgSetString = 0x320, kMsgSetLong = 0x321;
constexpr LONG kTagBrightness = 1282;

#pragma pack(push, 2)
struct DriverMessage {
    LONG unused0 = 0x11111111;
    LONG result = 0x22222222;
    WORD message = 0;
    WORD unused10 = 0x3333;
    LONG first = 0;
    LONG second = 0;
};
#pragma pack(pop)
static_assert(sizeof(DriverMessage) == 20);

// Free-text tags of the driver's own, named so that the look-up's prefix rule can be seen, and
// four long ones to make the text outgrow its first block.
std::string SettingsProfile(const std::string &scanner = "") {
    return std::string(kBasicProfile) + scanner +
           "[Tag 6001]\nName=GammaTable\nKind=string\n[Tag 6002]\nName=Gam\nKind=string\n"
           "[Tag 6003]\nName=Version\nKind=string\n[Tag 6010]\nName=Note\nKind=string\nCount=4\n";
}

struct Session : Scanner {
    explicit Session(const std::string &profile = SettingsProfile()) : Scanner(profile) {}

    TW_UINT16 Custom(TW_UINT16 msg, TW_CUSTOMDSDATA *data, TW_IDENTITY *origin = nullptr) {
        rc = kit.src().Call(origin ? origin : &app, DG_CONTROL, DAT_CUSTOMDSDATA, msg, data);
        cc = kit.src().Status(&app);
        return rc;
    }
    // MSG_GET's text; the block is checked and freed.
    std::string Collect() {
        TW_CUSTOMDSDATA data{0xDEAD, nullptr};
        if (Custom(MSG_GET, &data) != TWRC_SUCCESS) return "<failed " + std::to_string(cc) + ">";
        const char *p = static_cast<const char *>(GlobalLock(data.hData));
        std::string text = p ? std::string(p, strnlen(p, data.InfoLength)) : "<no block>";
        EXPECT_EQ(data.InfoLength, text.size() + 1);
        EXPECT_GE(GlobalSize(data.hData), data.InfoLength);
        GlobalUnlock(data.hData);
        EXPECT_EQ(GlobalFree(data.hData), nullptr);
        return text;
    }
    // MSG_SET of bytes as given (no terminator added) in a block of their size, announced with
    // infoLength (default: all of them).
    TW_UINT16 Restore(const std::string &bytes, std::optional<TW_UINT32> infoLength = std::nullopt) {
        HGLOBAL block = GlobalAlloc(GHND, bytes.size());
        memcpy(GlobalLock(block), bytes.data(), bytes.size());
        GlobalUnlock(block);
        TW_CUSTOMDSDATA data{infoLength.value_or(static_cast<TW_UINT32>(bytes.size())), block};
        Custom(MSG_SET, &data);
        EXPECT_EQ(data.hData, block) << "the application keeps its block";
        EXPECT_EQ(GlobalFree(block), nullptr);
        return rc;
    }
    TW_UINT16 Message(DriverMessage *record, TW_UINT16 msg = MSG_DRIVERMESSAGE) {
        rc = kit.src().Call(&app, DG_CONTROL, DAT_DRIVERMESSAGE, msg, record);
        cc = kit.src().Status(&app);
        return rc;
    }
    std::string Text(LONG tag) {
        char buffer[600] = {};
        DriverMessage m;
        m.message = kMsgGetString;
        m.first = tag | (511 << 16);
        m.second = reinterpret_cast<LONG>(buffer);
        EXPECT_EQ(Message(&m), TWRC_SUCCESS);
        return m.result == 0 ? std::string(buffer) : "<error " + std::to_string(m.result) + ">";
    }
    void SetText(LONG tag, const std::string &text) {
        DriverMessage m;
        m.message = kMsgSetString;
        m.first = tag;
        m.second = reinterpret_cast<LONG>(text.c_str());
        EXPECT_EQ(Message(&m), TWRC_SUCCESS);
        EXPECT_EQ(m.result, 0);
    }
    LONG Long(LONG tag) {
        LONG value = -12345;
        DriverMessage m;
        m.message = kMsgGetLong;
        m.first = tag;
        m.second = reinterpret_cast<LONG>(&value);
        EXPECT_EQ(Message(&m), TWRC_SUCCESS);
        EXPECT_EQ(m.result, 0);
        return value;
    }
    void SetLong(LONG tag, LONG value) {
        DriverMessage m;
        m.message = kMsgSetLong;
        m.first = tag;
        m.second = value;
        EXPECT_EQ(Message(&m), TWRC_SUCCESS);
        EXPECT_EQ(m.result, 0);
    }
    int XResolution() { return Whole(Get(ICAP_XRESOLUTION, MSG_GETCURRENT).value()); }
};

// "name=value:" entries after the leading one, in order.
std::vector<std::pair<std::string, std::string>> Entries(const std::string &text) {
    std::vector<std::pair<std::string, std::string>> entries;
    size_t at = 0;
    while (at < text.size()) {
        const size_t equals = text.find('=', at), colon = text.find(':', at);
        if (equals == std::string::npos || colon == std::string::npos || colon < equals) {
            ADD_FAILURE() << "not an entry at " << at << ": " << text.substr(at, 40);
            break;
        }
        entries.emplace_back(text.substr(at, equals - at), text.substr(equals + 1, colon - equals - 1));
        at = colon + 1;
    }
    return entries;
}

}  // namespace

TEST(XferGroup, ImagesOnlyAndNoChoice) {
    {
        Source closed;
        TW_UINT32 group = 0;
        EXPECT_TWAIN(closed, nullptr, closed.Call(nullptr, DG_CONTROL, DAT_XFERGROUP, MSG_GET, &group), TWRC_FAILURE,
                     TWCC_SEQERROR);
    }
    Scanner s(SampleProfile("ORVAVS.ini"));
    TW_IDENTITY stranger = AppId(99);
    TW_UINT32 group = 0xFFFFFFFF;
    auto call = [&](TW_IDENTITY *origin, TW_UINT16 msg, void *data) {
        return s.kit.src().Call(origin, DG_CONTROL, DAT_XFERGROUP, msg, data);
    };
    EXPECT_TWAIN(s.kit.src(), &s.app, call(&stranger, MSG_GET, &group), TWRC_FAILURE, TWCC_MAXCONNECTIONS);
    EXPECT_TWAIN(s.kit.src(), &s.app, call(&s.app, MSG_GET, &group), TWRC_SUCCESS, 0);
    EXPECT_EQ(group, static_cast<TW_UINT32>(DG_IMAGE));
    group = DG_CONTROL;
    EXPECT_TWAIN(s.kit.src(), &s.app, call(&s.app, MSG_SET, &group), TWRC_FAILURE, TWCC_BADPROTOCOL);
    EXPECT_TWAIN(s.kit.src(), &s.app, call(&s.app, MSG_GET, nullptr), TWRC_FAILURE, TWCC_BADVALUE);
    EXPECT_TWAIN(s.kit.src(), &s.app, call(&s.app, MSG_GET, reinterpret_cast<void *>(16)), TWRC_FAILURE,
                 TWCC_BADVALUE);
    // Between the pages of a run it answers; while a page is in transfer it does not.
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    EXPECT_TWAIN(s.kit.src(), &s.app, call(&s.app, MSG_GET, &group), TWRC_SUCCESS, 0);
    s.Native();
    ASSERT_EQ(s.rc, TWRC_XFERDONE);
    EXPECT_TWAIN(s.kit.src(), &s.app, call(&s.app, MSG_GET, &group), TWRC_FAILURE, TWCC_SEQERROR);
    EXPECT_EQ(s.Pending(MSG_ENDXFER).Count, 1);
    EXPECT_TWAIN(s.kit.src(), &s.app, call(&s.app, MSG_GET, &group), TWRC_SUCCESS, 0);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
}

// Every setting the driver reports comes out as "name=value:" after the version entry, in the
// driver's order, with the values the driver holds.
TEST(CustomData, CollectsEverySettingTheDriverReports) {
    Session s;
    const std::string text = s.Collect();
    ASSERT_EQ(text.rfind("Version=1.78:", 0), 0u) << text;
    const auto entries = Entries(text);
    ASSERT_GT(entries.size(), 20u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>("Version", "1.78")));
    std::map<std::string, std::string> byName(entries.begin(), entries.end());
    EXPECT_EQ(byName["XResolution"], "200/1");
    EXPECT_EQ(byName["Brightness"], "128");
    EXPECT_EQ(entries[1].first, "ModeLimit");
    EXPECT_EQ(byName.count("GammaTable"), 1u);
    EXPECT_EQ(byName.count("Note6013"), 1u);
}

// Settings whose text passes the first 1000 bytes are collected whole.
TEST(CustomData, LongSettingsGrowTheText) {
    Session s;
    std::vector<std::string> notes;
    for (int i = 0; i < 4; ++i) {
        notes.push_back(std::string(500, static_cast<char>('a' + i)) + std::to_string(i));
        s.SetText(6010 + i, notes.back());
    }
    const std::string text = s.Collect();
    EXPECT_GT(text.size(), 2000u);
    std::map<std::string, std::string> byName;
    for (const auto &e : Entries(text)) byName.insert(e);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(byName["Note" + std::to_string(6010 + i)], notes[i]) << i;
}

// What was taken out comes back: settings changed since, through capabilities and the driver,
// return to the values they had.
TEST(CustomData, RoundTrip) {
    Session s;
    s.SetText(6011, "before");
    const std::string saved = s.Collect();
    ASSERT_EQ(s.XResolution(), 200);
    EXPECT_TRUE(s.Set(ICAP_XRESOLUTION, TWTY_FIX32, Fix(100)).ok());
    s.SetLong(kTagBrightness, 40);
    s.SetText(6011, "after");
    ASSERT_EQ(s.XResolution(), 100);
    EXPECT_NE(s.Collect(), saved);
    EXPECT_EQ(s.Restore(saved + '\0'), TWRC_SUCCESS) << s.cc;
    EXPECT_EQ(s.cc, 0);
    EXPECT_EQ(s.XResolution(), 200);
    EXPECT_EQ(s.Long(kTagBrightness), 128);
    EXPECT_EQ(s.Text(6011), "before");
    EXPECT_EQ(s.Collect(), saved);
}

// Which entry answers a setting the driver asks for.
TEST(CustomData, LookUpRules) {
    struct Row {
        const char *text;
        const char *gammaTable, *gam, *version;
        int xResolution;
    };
    // text handed back                                        GammaTable  Gam    Version  X dpi
    const Row rows[] = {
        {"Version=1.78:Gamma=2:",                                 "2",        "",    "",      200},
        {"Version=1.78:GammaTable=7:Gamma=2:",                    "7",        "",    "",      200},
        {"Version=1.78:Gam=1:GammaTable=7:",                      "1",        "1",   "",      200},
        {"Version=1.78:Version=old:",                             "",         "",    "old",   200},
        {"Version=abc:XRes=100/1:",                               "",         "",    "",      100},
        {"XResolution=100/1:Version=1.78:",                       "",         "",    "1.78",  200},
        {"Version=1.78:XResolution=100/1:XResolution=300/1:",     "",         "",    "",      100},
        {"Version=1.78:XResolutionTwo=100/1:",                    "",         "",    "",      200},
        {"Version=1.78:=100/1:GammaTable=9:",                     "9",        "",    "",      200},
        {"Version=1.78:GammaTable=9",                             "",         "",    "",      200},
        {"Version=1.78:Nonsense=1:Brightnes=x:GammaTable",        "",         "",    "",      200},
        {"Version=1.78:",                                         "",         "",    "",      200},
    };
    for (const Row &r : rows) {
        Session s;
        EXPECT_EQ(s.Restore(std::string(r.text) + '\0'), TWRC_SUCCESS) << r.text;
        EXPECT_EQ(s.Text(6001), r.gammaTable) << r.text;
        EXPECT_EQ(s.Text(6002), r.gam) << r.text;
        EXPECT_EQ(s.Text(6003), r.version) << r.text;
        EXPECT_EQ(s.XResolution(), r.xResolution) << r.text;
    }
}

// A value longer than the driver's buffer comes back cut to what the buffer holds; a text of a
// megabyte is read through to its last entry.
TEST(CustomData, LongValuesAndLongTexts) {
    Session s;
    const std::string value(300, 'v');
    EXPECT_EQ(s.Restore("Version=1.78:Note6010=" + value + ":" + '\0'), TWRC_SUCCESS);
    EXPECT_EQ(s.Text(6010), value.substr(0, 255));
    std::string huge = "Version=1.78:";
    while (huge.size() < 1024 * 1024) huge += "Padding" + std::to_string(huge.size()) + "=" + std::string(50, 'p') + ":";
    huge += "XResolution=100/1:Note6012=last:";
    EXPECT_EQ(s.Restore(huge + '\0'), TWRC_SUCCESS);
    EXPECT_EQ(s.XResolution(), 100);
    EXPECT_EQ(s.Text(6012), "last");
}

// Texts that end, or do not, within the announced length and the block: only what lies within
// both is read.
TEST(CustomData, TextsMustEndWithinTheirLength) {
    const std::string good = "Version=1.78:XResolution=100/1:";
    struct Row {
        const char *what;
        std::string bytes;
        std::optional<TW_UINT32> infoLength;
        TW_UINT16 rc, cc;
        int xResolution;
    };
    // what                            bytes in a block of their size  InfoLength            rc            cc            X dpi
    const Row rows[] = {
        {"zero length",                    good + '\0',                   0,                    TWRC_FAILURE, TWCC_BADVALUE, 200},
        {"ends past the length",           good + '\0',                   TW_UINT32(good.size()), TWRC_FAILURE, TWCC_BADVALUE, 200},
        {"no terminator in the block",     good,                          1u << 30,             TWRC_FAILURE, TWCC_BADVALUE, 200},
        {"length past a terminated block", good + '\0',                   1u << 30,             TWRC_SUCCESS, 0,             100},
        {"exact",                          good + '\0',                   std::nullopt,         TWRC_SUCCESS, 0,             100},
    };
    for (const Row &r : rows) {
        Session t;
        EXPECT_EQ(t.Restore(r.bytes, r.infoLength), r.rc) << r.what;
        EXPECT_EQ(t.cc, r.cc) << r.what;
        EXPECT_EQ(t.XResolution(), r.xResolution) << r.what;
    }
}

// Records an application may get wrong: each is refused with its code, changes nothing, and the
// source goes on answering.
TEST(CustomData, HostileRecords) {
    Session s;
    const std::string good = "Version=1.78:XResolution=100/1:";
    TW_CUSTOMDSDATA data{};
    EXPECT_EQ(s.Custom(MSG_SET, &data), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADVALUE);
    EXPECT_EQ(s.Custom(MSG_SET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADVALUE);
    EXPECT_EQ(s.Custom(MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADVALUE);
    EXPECT_EQ(s.Custom(MSG_GET, reinterpret_cast<TW_CUSTOMDSDATA *>(8)), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADVALUE);
    char notABlock[64];
    memcpy(notABlock, good.c_str(), good.size() + 1);
    for (HANDLE foreign : {reinterpret_cast<HANDLE>(1), reinterpret_cast<HANDLE>(notABlock),
                           reinterpret_cast<HANDLE>(0xFFFFFFF0)}) {
        SCOPED_TRACE(reinterpret_cast<UINT_PTR>(foreign));
        data = {static_cast<TW_UINT32>(good.size() + 1), foreign};
        EXPECT_EQ(s.Custom(MSG_SET, &data), TWRC_FAILURE);
        EXPECT_EQ(s.cc, TWCC_BADVALUE);
    }
    // Still at work, and only for the application that opened it and while not enabled.
    TW_IDENTITY stranger = AppId(98);
    data = {};
    EXPECT_EQ(s.Custom(MSG_GET, &data, &stranger), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_MAXCONNECTIONS);
    EXPECT_EQ(s.Custom(MSG_RESET, &data), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADPROTOCOL);
    EXPECT_EQ(s.Restore(good + '\0'), TWRC_SUCCESS);
    EXPECT_EQ(s.XResolution(), 100);
    EXPECT_TRUE(s.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(s.Enable(), TWRC_SUCCESS);
    EXPECT_EQ(s.Custom(MSG_GET, &data), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_SEQERROR);
    EXPECT_EQ(data.hData, nullptr);
    EXPECT_EQ(s.Restore("Version=1.78:XResolution=300/1:" + std::string(1, '\0')), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_SEQERROR);
    EXPECT_EQ(s.Disable(), TWRC_SUCCESS);
    EXPECT_EQ(s.XResolution(), 100);
    EXPECT_FALSE(s.Collect().empty());
}

// A driver that reports and restores nothing: the text is the version entry alone.
TEST(CustomData, DriverWithoutSettings) {
    Session s(SettingsProfile("ReportSettings=no\n"));
    const std::string text = s.Collect();
    EXPECT_EQ(text, "Version=1.78:");
    EXPECT_EQ(s.Restore("Version=1.78:XResolution=100/1:GammaTable=5:" + std::string(1, '\0')), TWRC_SUCCESS);
    EXPECT_EQ(s.XResolution(), 200);
    EXPECT_EQ(s.Text(6001), "");
}

// A driver that fails either message: the call fails with TWCC_SEQERROR, hands out nothing, and
// the next call works.
TEST(CustomData, DriverFailures) {
    Session s(SettingsProfile() + "[Faults]\nCollect=msg 0x348, Fault, once\nRestore=msg 0x349, Fault, once\n");
    TW_CUSTOMDSDATA data{0xABCD, nullptr};
    EXPECT_EQ(s.Custom(MSG_GET, &data), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_SEQERROR);
    EXPECT_EQ(data.hData, nullptr);
    EXPECT_EQ(data.InfoLength, 0xABCDu);
    const std::string text = s.Collect();
    EXPECT_EQ(text.rfind("Version=1.78:ModeLimit=", 0), 0u) << text;
    EXPECT_EQ(s.Restore("Version=1.78:XResolution=100/1:" + std::string(1, '\0')), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_SEQERROR);
    EXPECT_EQ(s.Restore("Version=1.78:XResolution=100/1:" + std::string(1, '\0')), TWRC_SUCCESS);
    EXPECT_EQ(s.XResolution(), 100);
}

TEST(CustomData, ClosedSource) {
    Source src;
    TW_IDENTITY app = AppId(5);
    TW_CUSTOMDSDATA data{};
    EXPECT_TWAIN(src, &app, src.Call(&app, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &data), TWRC_FAILURE,
                 TWCC_SEQERROR);
    EXPECT_EQ(data.hData, nullptr);
}

// Any driver message, sent as written, its result in the record.
TEST(DriverMessage, PassesMessagesThrough) {
    {
        Source closed;
        DriverMessage m;
        m.message = kMsgGetLong;
        EXPECT_TWAIN(closed, nullptr, closed.Call(nullptr, DG_CONTROL, DAT_DRIVERMESSAGE, MSG_DRIVERMESSAGE, &m),
                     TWRC_FAILURE, TWCC_SEQERROR);
        EXPECT_EQ(m.result, 0x22222222) << "nothing answered, nothing written";
    }
    Session s;
    LONG value = 0;
    DriverMessage m;
    m.message = kMsgGetLong;
    m.first = kTagBrightness;
    m.second = reinterpret_cast<LONG>(&value);
    EXPECT_EQ(s.Message(&m), TWRC_SUCCESS);
    EXPECT_EQ(m.result, 0);
    EXPECT_EQ(value, 128);
    EXPECT_EQ(m.unused0, 0x11111111);
    EXPECT_EQ(m.unused10, 0x3333);
    m = DriverMessage{};
    m.message = kMsgSetLong;
    m.first = kTagBrightness;
    m.second = 40;
    EXPECT_EQ(s.Message(&m), TWRC_SUCCESS);
    EXPECT_EQ(m.result, 0);
    EXPECT_EQ(s.Long(kTagBrightness), 40);
    // The driver's refusal is the record's business, not the call's.
    m = DriverMessage{};
    m.message = kMsgGetLong;
    m.first = 999;
    m.second = reinterpret_cast<LONG>(&value);
    EXPECT_EQ(s.Message(&m), TWRC_SUCCESS);
    EXPECT_LT(m.result, 0);
    // Only the private message, and only a record that is there.
    m = DriverMessage{};
    EXPECT_EQ(s.Message(&m, MSG_GET), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADPROTOCOL);
    EXPECT_EQ(m.result, 0x22222222);
    EXPECT_EQ(s.Message(nullptr), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADVALUE);
    EXPECT_EQ(s.Message(reinterpret_cast<DriverMessage *>(4)), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADVALUE);
    auto *page = static_cast<BYTE *>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    auto *readOnly = reinterpret_cast<DriverMessage *>(page + 4096 - sizeof(DriverMessage));
    *readOnly = DriverMessage{};
    DWORD old = 0;
    VirtualProtect(page, 4096, PAGE_READONLY, &old);
    EXPECT_EQ(s.Message(readOnly), TWRC_FAILURE);
    EXPECT_EQ(s.cc, TWCC_BADVALUE);
    VirtualFree(page, 0, MEM_RELEASE);
    EXPECT_EQ(s.Text(6001), "");
}
