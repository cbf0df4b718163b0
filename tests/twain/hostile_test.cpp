// Whatever an application sends: every data group, data argument type and message, with no data,
// zeroed data and data full of 0xFF bytes (bogus handles, absurd counts, unterminated texts),
// from the right application, a stranger and nobody, on a closed and on an open source. The
// source must answer each call and end in a state it can be closed from without leaks.
#include "kitsource.h"

namespace {

const TW_UINT32 kGroups[] = {0, DG_CONTROL, DG_IMAGE, DG_AUDIO, 3, 0xFFFFFFFF};
const TW_UINT16 kMessages[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x0a, 0x101, 0x102, 0x103, 0x301, 0x302,
                               0x401, 0x403, 0x501, 0x502, 0x503, 0x601, 0x701, 0x8000, 0xFFFF};

std::vector<TW_UINT16> DataTypes() {
    std::vector<TW_UINT16> dats;
    for (TW_UINT16 d = 0; d <= 0x14; ++d) dats.push_back(d);
    for (TW_UINT16 d = 0x100; d <= 0x10c; ++d) dats.push_back(d);
    for (TW_UINT16 d : {0x0201, 0x0401, 0x0403, 0x8000, 0x8001, 0x8002, 0x8003, 0xFFFF}) dats.push_back(d);
    return dats;
}

// Sends everything; MSG_OPENDS and MSG_CLOSEDS are left out here (they change who may talk).
int Storm(Source &src, TW_IDENTITY *origin) {
    static BYTE zeros[8192], ones[8192];
    memset(ones, 0xFF, sizeof ones);
    int calls = 0;
    for (TW_UINT32 dg : kGroups)
        for (TW_UINT16 dat : DataTypes())
            for (TW_UINT16 msg : kMessages) {
                if (dat == DAT_IDENTITY && (msg == MSG_OPENDS || msg == MSG_CLOSEDS)) continue;
                for (void *data : {static_cast<void *>(nullptr), static_cast<void *>(zeros), static_cast<void *>(ones)}) {
                    memset(zeros, 0, sizeof zeros);
                    memset(ones, 0xFF, sizeof ones);
                    const TW_UINT16 rc = src.Call(origin, dg, dat, msg, data);
                    EXPECT_LE(rc, TWRC_DATANOTAVAILABLE) << dg << "/" << dat << "/" << msg;
                    ++calls;
                }
            }
    return calls;
}

TEST(Hostile, EveryTripletOnAClosedSource) {
    KitSource kit;
    CbtAutoAnswer box(IDOK);
    TW_IDENTITY app = AppId(51);
    EXPECT_GT(Storm(kit.src(), nullptr), 10000);
    Storm(kit.src(), &app);
    EXPECT_EQ(box.answered, 0);
    kit.src().Status();  // the storm's last failure
    EXPECT_TWAIN(kit.src(), &app, kit.Open(app), TWRC_SUCCESS, 0);
    EXPECT_TWAIN(kit.src(), &app, kit.Close(app), TWRC_SUCCESS, 0);
    EXPECT_TRUE(kit.NoDriversLeft());
}

TEST(Hostile, EveryTripletOnAnOpenSource) {
    KitSource kit;
    TW_IDENTITY app = AppId(52), stranger = AppId(53);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    CbtAutoAnswer box(IDOK, true);
    Storm(kit.src(), nullptr);
    Storm(kit.src(), &stranger);
    Storm(kit.src(), &app);
    EXPECT_EQ(box.answered, 0) << (box.texts.empty() ? "" : box.captions[0] + ": " + box.texts[0]);
    kit.src().Status();
    // Still open for its application, and only for it.
    TW_CAPABILITY cap{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
    EXPECT_TWAIN(kit.src(), &stranger, kit.src().Call(&stranger, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap),
                 TWRC_FAILURE, TWCC_MAXCONNECTIONS);
    ASSERT_EQ(kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_SUCCESS);
    GlobalFree(cap.hContainer);
    EXPECT_TWAIN(kit.src(), &app, kit.Close(app), TWRC_SUCCESS, 0);
    EXPECT_TRUE(kit.NoDriversLeft());
    EXPECT_EQ(kit.LiveImageObjects(), 0);
}

// Capability containers that lie: every negotiated capability and every message with handles that
// are null, not handles, too small, or enumerations claiming more items than they hold.
TEST(Hostile, CapabilityContainersThatLie) {
    KitSource kit;
    TW_IDENTITY app = AppId(54);
    ASSERT_EQ(kit.Open(app), TWRC_SUCCESS);
    TW_CAPABILITY all{CAP_SUPPORTEDCAPS, TWON_DONTCARE16, nullptr};
    ASSERT_EQ(kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &all), TWRC_SUCCESS);
    std::vector<TW_UINT16> caps;
    {
        auto *a = static_cast<TW_ARRAY *>(GlobalLock(all.hContainer));
        const auto *codes = reinterpret_cast<const TW_UINT16 *>(a->ItemList);
        caps.assign(codes, codes + a->NumItems);
        GlobalUnlock(all.hContainer);
        GlobalFree(all.hContainer);
    }
    caps.push_back(0);
    caps.push_back(0xFFFF);
    BYTE notAHandle[64];
    memset(notAHandle, 0x7F, sizeof notAHandle);
    HGLOBAL tiny = GlobalAlloc(GMEM_MOVEABLE, 2);
    HGLOBAL liar = GlobalAlloc(GMEM_MOVEABLE, 20);
    {
        auto *e = static_cast<TW_ENUMERATION *>(GlobalLock(liar));
        *e = TW_ENUMERATION{TWTY_UINT16, 65535, 70000, 65534, {0}};
        GlobalUnlock(liar);
    }
    const HANDLE handles[] = {nullptr, reinterpret_cast<HANDLE>(1), reinterpret_cast<HANDLE>(notAHandle), tiny, liar};
    const TW_UINT16 shapes[] = {TWON_ONEVALUE, TWON_ENUMERATION, TWON_RANGE, TWON_ARRAY, 0, TWON_DONTCARE16};
    CbtAutoAnswer box(IDOK);
    for (TW_UINT16 code : caps)
        for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_SET, MSG_RESET, MSG_QUERYSUPPORT})
            for (TW_UINT16 shape : shapes)
                for (HANDLE h : handles) {
                    TW_CAPABILITY cap{code, shape, h};
                    const TW_UINT16 rc = kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, msg, &cap);
                    // A new container answers only on success, and never replaces the caller's on a set.
                    if (rc == TWRC_SUCCESS && cap.hContainer != h) GlobalFree(cap.hContainer);
                    if (msg == MSG_SET) {
                        EXPECT_EQ(cap.hContainer, h) << code;
                    }
                }
    EXPECT_EQ(box.answered, 0);
    EXPECT_EQ(GlobalSize(tiny), 2u) << "the caller's blocks are untouched";
    GlobalFree(tiny);
    GlobalFree(liar);
    kit.src().Status();
    EXPECT_TWAIN(kit.src(), &app, kit.Close(app), TWRC_SUCCESS, 0);
    EXPECT_TRUE(kit.NoDriversLeft());
}

// Opening with identities full of 0xFF: names without terminators, absurd protocol numbers. The
// log is on, since its line about the application is what reads the names: each is cut to the
// 33 characters its field holds.
TEST(Hostile, OpenAndCloseWithGarbageIdentities) {
    const std::string log = TestDir() + "\\log.txt";
    SetScanIni("SDKDebug", "256");
    SetScanIni("SDKDebugFile", log.c_str());
    {
        KitSource kit;
        TW_IDENTITY app, ds;
        memset(&app, 0xFF, sizeof app);
        memset(&ds, 0xFF, sizeof ds);
        CbtAutoAnswer box(IDOK);
        EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &ds), TWRC_SUCCESS,
                     0);
        EXPECT_TWAIN(kit.src(), &app, kit.src().Call(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &ds), TWRC_SUCCESS,
                     0);
        EXPECT_EQ(box.answered, 0);
        EXPECT_TRUE(kit.NoDriversLeft());
    }
    SetScanIni("SDKDebug", nullptr);
    SetScanIni("SDKDebugFile", nullptr);
    const std::string text = ReadFileText(log);
    const std::string name(33, '\xFF');
    EXPECT_NE(text.find("Application: Id=-1 Version=65535.65535 \nTwainVer=65535.65535 \nManufacturer=" + name +
                        " \nProductFamily=" + name + " \nProductName=" + name + "\r\n"),
              std::string::npos)
        << text;
}

}  // namespace
