// Capability calls as an application makes them, through the source's entry over the virtual
// scanner, with the answer read back independently of the source's own container code.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "kitsource.h"

// A container the application receives, taken apart; the block is freed.
struct CapAnswer {
    TW_UINT16 rc = 0xFFFF;
    TW_UINT16 cc = 0xFFFF;  // DAT_STATUS after the call
    TW_UINT16 conType = 0;
    TW_UINT16 itemType = 0xFFFF;
    std::vector<TW_UINT32> items;      // one-value: one item; range: min, max, step, default, current
    std::vector<std::string> names;    // string items
    TW_UINT32 current = 0, deflt = 0;  // enumeration indexes
    TW_FRAME frame{};

    TW_UINT32 value() const { return items.empty() ? 0xDEADBEEF : items[0]; }
    bool ok() const { return rc == TWRC_SUCCESS; }
};

inline TW_UINT32 ItemBytes(TW_UINT16 type) {
    static const TW_UINT32 sizes[] = {1, 2, 4, 1, 2, 4, 2, 4, 16, 34, 66, 130, 256};
    return type < 13 ? sizes[type] : 0;
}

inline TW_UINT32 ReadItem(const BYTE *p, TW_UINT16 type) {
    TW_UINT32 v = 0;
    memcpy(&v, p, ItemBytes(type) <= 4 ? ItemBytes(type) : 4);
    if (type == TWTY_INT8) v = static_cast<TW_UINT32>(static_cast<TW_INT32>(static_cast<signed char>(v)));
    if (type == TWTY_INT16) v = static_cast<TW_UINT32>(static_cast<TW_INT32>(static_cast<TW_INT16>(v)));
    return v;
}

// Takes the container apart by its own layout (2-byte packing, little-endian).
inline void Parse(const TW_CAPABILITY &cap, CapAnswer &a) {
    a.conType = cap.ConType;
    if (!cap.hContainer) return;
    const SIZE_T size = GlobalSize(cap.hContainer);
    const BYTE *p = static_cast<const BYTE *>(GlobalLock(cap.hContainer));
    if (!p) return;
    memcpy(&a.itemType, p, 2);
    auto item = [&](SIZE_T at) {
        if (a.itemType >= TWTY_STR32 && a.itemType <= TWTY_STR255) {
            const TW_UINT32 n = ItemBytes(a.itemType);
            a.names.push_back(std::string(reinterpret_cast<const char *>(p + at), strnlen(reinterpret_cast<const char *>(p + at), n)));
            a.items.push_back(static_cast<TW_UINT32>(p[at + n - 1]));  // the last byte of the field
        } else if (a.itemType == TWTY_FRAME) {
            memcpy(&a.frame, p + at, sizeof a.frame);
        } else {
            a.items.push_back(ReadItem(p + at, a.itemType));
        }
    };
    TW_UINT32 count = 0;
    switch (cap.ConType) {
    case TWON_ONEVALUE:
        if (size >= 2 + ItemBytes(a.itemType)) item(2);
        break;
    case TWON_RANGE:
        for (int i = 0; i < 5 && size >= 22; ++i) {
            TW_UINT32 v;
            memcpy(&v, p + 2 + 4 * i, 4);
            a.items.push_back(v);
        }
        break;
    case TWON_ENUMERATION:
        memcpy(&count, p + 2, 4);
        memcpy(&a.current, p + 6, 4);
        memcpy(&a.deflt, p + 10, 4);
        for (TW_UINT32 i = 0; i < count && 14 + (i + 1) * ItemBytes(a.itemType) <= size; ++i)
            item(14 + i * ItemBytes(a.itemType));
        break;
    case TWON_ARRAY:
        memcpy(&count, p + 2, 4);
        for (TW_UINT32 i = 0; i < count && 6 + (i + 1) * ItemBytes(a.itemType) <= size; ++i)
            item(6 + i * ItemBytes(a.itemType));
        break;
    }
    GlobalUnlock(cap.hContainer);
}

// MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET or MSG_QUERYSUPPORT of one capability.
inline CapAnswer Ask(KitSource &kit, TW_IDENTITY &app, TW_UINT16 msg, TW_UINT16 code) {
    CapAnswer a;
    TW_CAPABILITY cap{code, TWON_DONTCARE16, nullptr};
    a.rc = kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, msg, &cap);
    a.cc = kit.src().Status(&app);
    if (a.rc == TWRC_SUCCESS) Parse(cap, a);
    if (cap.hContainer) GlobalFree(cap.hContainer);
    return a;
}

// An application's container of the given bytes; freed by its destructor.
struct AppCap {
    TW_CAPABILITY cap{};
    AppCap(TW_UINT16 code, TW_UINT16 conType, const std::vector<BYTE> &bytes) {
        cap = {code, conType, GlobalAlloc(GMEM_MOVEABLE, bytes.size())};
        memcpy(GlobalLock(cap.hContainer), bytes.data(), bytes.size());
        GlobalUnlock(cap.hContainer);
    }
    ~AppCap() {
        if (cap.hContainer) GlobalFree(cap.hContainer);
    }
    AppCap(const AppCap &) = delete;
    AppCap &operator=(const AppCap &) = delete;
};

inline void Put(std::vector<BYTE> &b, TW_UINT32 v, TW_UINT32 bytes) {
    for (TW_UINT32 i = 0; i < bytes; ++i) b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

inline std::vector<BYTE> OneValueBytes(TW_UINT16 type, TW_UINT32 value) {
    std::vector<BYTE> b;
    Put(b, type, 2);
    Put(b, value, 4);
    return b;
}
inline std::vector<BYTE> Str32Bytes(const std::string &text) {
    std::vector<BYTE> b;
    Put(b, TWTY_STR32, 2);
    for (size_t i = 0; i < 34; ++i) b.push_back(i < text.size() ? static_cast<BYTE>(text[i]) : 0);
    return b;
}
// An enumeration sized as applications size it: the 14 header bytes and the items.
inline std::vector<BYTE> EnumBytes(TW_UINT16 type, const std::vector<TW_UINT32> &items, TW_UINT32 current,
                                   TW_UINT32 deflt = 0) {
    std::vector<BYTE> b;
    Put(b, type, 2);
    Put(b, static_cast<TW_UINT32>(items.size()), 4);
    Put(b, current, 4);
    Put(b, deflt, 4);
    for (TW_UINT32 v : items) Put(b, v, ItemBytes(type));
    return b;
}
inline std::vector<BYTE> FrameBytes(const TW_FRAME &f) {
    std::vector<BYTE> b;
    Put(b, TWTY_FRAME, 2);
    const BYTE *p = reinterpret_cast<const BYTE *>(&f);
    b.insert(b.end(), p, p + sizeof f);
    return b;
}

// MSG_SET with the given container; the rc and condition code, and what the source left in the
// application's block (some sets answer there).
inline CapAnswer Send(KitSource &kit, TW_IDENTITY &app, TW_UINT16 code, TW_UINT16 conType,
                      const std::vector<BYTE> &bytes, TW_UINT16 msg = MSG_SET) {
    AppCap c(code, conType, bytes);
    CapAnswer a;
    a.rc = kit.src().Call(&app, DG_CONTROL, DAT_CAPABILITY, msg, &c.cap);
    a.cc = kit.src().Status(&app);
    Parse(c.cap, a);
    return a;
}
inline CapAnswer SetOne(KitSource &kit, TW_IDENTITY &app, TW_UINT16 code, TW_UINT16 type, TW_UINT32 value) {
    return Send(kit, app, code, TWON_ONEVALUE, OneValueBytes(type, value));
}

// FIX32 words as containers carry them.
inline TW_UINT32 Fix(double v) {
    const LONG scaled = static_cast<LONG>(v * 65536.0 + (v < 0 ? -0.5 : 0.5));
    return static_cast<TW_UINT16>(scaled >> 16) | (static_cast<TW_UINT32>(scaled & 0xFFFF) << 16);
}
inline double Unfix(TW_UINT32 w) {
    return static_cast<TW_INT16>(w & 0xFFFF) + (w >> 16) / 65536.0;
}
inline TW_INT16 Whole(TW_UINT32 w) { return static_cast<TW_INT16>(w & 0xFFFF); }

// A sample scanner's profile, as the kit's profiles folder beside the tests holds it.
inline std::string SampleProfile(const std::string &name) { return ReadFileText("profiles\\" + name); }

// The source opened over a profile for one application. One at a time: the source is one library
// per process, so a second OpenKit while the first lives would talk to the first's driver.
struct OpenKit {
    explicit OpenKit(const std::string &profile = kBasicProfile) : kit(profile) {
        EXPECT_EQ(kit.Open(app), TWRC_SUCCESS);
    }
    ~OpenKit() {
        kit.Close(app);
        EXPECT_TRUE(kit.NoDriversLeft());
    }
    CapAnswer Get(TW_UINT16 code, TW_UINT16 msg = MSG_GET) { return Ask(kit, app, msg, code); }
    CapAnswer Set(TW_UINT16 code, TW_UINT16 type, TW_UINT32 value) { return SetOne(kit, app, code, type, value); }
    CapAnswer Reset(TW_UINT16 code) { return Ask(kit, app, MSG_RESET, code); }
    KitSource kit;
    TW_IDENTITY app = AppId(40);
};
