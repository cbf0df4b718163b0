// The bar codes of a transferred page as DAT_EXTIMAGEINFO answers them, checked against the codes
// the kit's profile puts on each page, and the records an application may get wrong.
#include "xfertest.h"

namespace {

constexpr TW_UINT16 kAllIds[] = {TWEI_BARCODECOUNT, TWEI_BARCODETYPE, TWEI_BARCODETEXT,      TWEI_BARCODETEXTLENGTH,
                                 TWEI_BARCODEX,     TWEI_BARCODEY,    TWEI_BARCODECONFIDENCE, TWEI_BARCODEROTATION,
                                 TWEI_PATCHCODE};

// An item as the application reads it; blocks are taken apart and freed.
struct Item {
    TW_INFO info{};
    std::vector<TW_INT32> values;     // numeric items, from Item or the block
    std::vector<std::string> texts;   // TWEI_BARCODETEXT
    SIZE_T blockSize = 0;
    bool block = false;
};

struct Reader : Scanner {
    using Scanner::Scanner;

    // Asks for the ids; the entries start out as 0xEE bytes so untouched fields show.
    std::vector<Item> Ask(const std::vector<TW_UINT16> &ids) {
        std::vector<BYTE> record(4 + ids.size() * sizeof(TW_INFO) + 12, 0xEE);
        auto *ext = reinterpret_cast<TW_EXTIMAGEINFO *>(record.data());
        ext->NumInfos = static_cast<TW_UINT32>(ids.size());
        for (size_t i = 0; i < ids.size(); ++i) ext->Info[i].InfoID = ids[i];
        rc = kit.src().Call(&app, DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, ext);
        cc = kit.src().Status(&app);
        std::vector<Item> items;
        for (size_t i = 0; i < ids.size(); ++i) items.push_back(TakeApart(ext->Info[i]));
        return items;
    }
    Item One(TW_UINT16 id) { return Ask({id})[0]; }

    static Item TakeApart(const TW_INFO &info) {
        Item it;
        it.info = info;
        if (info.ReturnCode != TWRC_SUCCESS) return it;
        const bool text = info.InfoID == TWEI_BARCODETEXT;
        if (!text && info.NumItems <= 1) {
            it.values.push_back(static_cast<TW_INT32>(info.Item));
            return it;
        }
        HGLOBAL h = reinterpret_cast<HGLOBAL>(info.Item);
        it.block = true;
        it.blockSize = GlobalSize(h);
        const BYTE *p = static_cast<const BYTE *>(GlobalLock(h));
        for (int i = 0; p && i < info.NumItems; ++i) {
            if (text) {
                const char *slot = reinterpret_cast<const char *>(p + 256 * i);
                it.texts.emplace_back(slot, strnlen(slot, 256));
            } else {
                TW_INT32 v;
                memcpy(&v, p + 4 * i, 4);
                it.values.push_back(v);
            }
        }
        if (p) GlobalUnlock(h);
        EXPECT_EQ(GlobalFree(h), nullptr) << "a block the application can free";
        return it;
    }
    // Transfers the next page natively; the first call enables.
    void Transfer() {
        if (!enabled) {
            EXPECT_TRUE(Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
            ASSERT_EQ(Enable(), TWRC_SUCCESS);
            enabled = true;
        }
        Native();
        ASSERT_EQ(rc, TWRC_XFERDONE);
    }
    bool enabled = false;
};

// A code as the profile writes it: driver type and text.
struct Code {
    int twainType;
    std::string text;
};

// Every item of a page against the codes expected on it.
void ExpectCodes(Reader &r, const std::vector<Code> &codes, int line) {
    SCOPED_TRACE("page expected at line " + std::to_string(line));
    const std::vector<Item> items = r.Ask(std::vector<TW_UINT16>(std::begin(kAllIds), std::end(kAllIds)));
    ASSERT_EQ(r.rc, TWRC_SUCCESS) << r.cc;
    const size_t n = codes.size();
    for (const Item &it : items) EXPECT_EQ(it.info.ReturnCode, TWRC_SUCCESS) << it.info.InfoID;
    EXPECT_EQ(items[0].info.ItemType, TWTY_INT32);
    EXPECT_EQ(items[0].info.NumItems, 1);
    EXPECT_EQ(items[0].values, std::vector<TW_INT32>{static_cast<TW_INT32>(n)});
    std::vector<TW_INT32> types, lengths;
    std::vector<std::string> texts;
    for (const Code &c : codes) {
        types.push_back(c.twainType);
        lengths.push_back(static_cast<TW_INT32>(c.text.size()));
        texts.push_back(c.text);
    }
    const std::vector<TW_INT32> unknown(n, -1), rotX(n, 4);
    struct Expect {
        size_t at;
        TW_UINT16 type;
        std::vector<TW_INT32> values;
    };
    const Expect numeric[] = {
        {1, TWTY_UINT32, types}, {3, TWTY_UINT32, lengths}, {4, TWTY_UINT32, unknown}, {5, TWTY_UINT32, unknown},
        {6, TWTY_INT32, unknown}, {7, TWTY_UINT32, rotX},   {8, TWTY_UINT32, types},
    };
    for (const Expect &e : numeric) {
        const Item &it = items[e.at];
        SCOPED_TRACE(it.info.InfoID);
        EXPECT_EQ(it.info.ItemType, e.type);
        EXPECT_EQ(it.info.NumItems, n);
        EXPECT_EQ(it.block, n > 1);
        if (n > 1) {
            EXPECT_EQ(it.blockSize, 6 * n);
        }
        // Without codes only the type is defined: unknown.
        if (n > 0) {
            EXPECT_EQ(it.values, e.values);
        } else if (e.at == 1) {
            EXPECT_EQ(it.values, std::vector<TW_INT32>{-1});
        }
    }
    const Item &text = items[2];
    EXPECT_EQ(text.info.ItemType, TWTY_STR255);
    EXPECT_EQ(text.info.NumItems, n);
    EXPECT_TRUE(text.block);
    EXPECT_EQ(text.blockSize, 256 * n);
    EXPECT_EQ(text.texts, texts);
}

std::string FeederOf(const std::string &pages) {
    return "[Scanner]\nName=Codes\nFlatbed=no\nFeeder=yes\nDuplex=no\nStackSensor=yes\nResolutions=100\n"
           "DefaultResolution=100\nPageSizes=A6=105x148\nDefaultPageSize=A6\n[Paper]\nPages=3\n" + pages;
}

}  // namespace

// Ten codes on page 1, of which the collector keeps eight; on page 2 a text of 300 characters
// cut to 255, an empty text and a code of type 0 left out; page 3 has none.
TEST(ExtImageInfo, ManyCodesPageByPage) {
    Reader r(SampleProfile("many-barcodes.ini"));
    r.Transfer();
    std::vector<Code> page1;
    for (int i = 1; i <= 8; ++i) page1.push_back({0, "CODE-0" + std::to_string(i)});
    ExpectCodes(r, page1, __LINE__);
    EXPECT_EQ(r.Pending(MSG_ENDXFER).Count, 1);
    r.Transfer();
    std::string l300 = "L300-";
    while (l300.size() < 300) l300 += std::to_string((l300.size() - 5) % 10);
    ExpectCodes(r, {{0, l300.substr(0, 255)}, {0, "AFTER"}}, __LINE__);
    EXPECT_EQ(r.Pending(MSG_ENDXFER).Count, 1);
    r.Transfer();
    ExpectCodes(r, {}, __LINE__);
    EXPECT_EQ(r.Pending(MSG_ENDXFER).Count, 0);
    EXPECT_EQ(r.Disable(), TWRC_SUCCESS);
}

// One EAN-13 code, then a patch sheet read as its patch code.
TEST(ExtImageInfo, OneCodeAndPatchCodes) {
    Reader r(FeederOf("[Page 1]\nBarcodes=2:4006381333931\n[Page 2]\nPatch=T\n[Page 3]\nPatch=3\n"));
    r.Transfer();
    ExpectCodes(r, {{10, "4006381333931"}}, __LINE__);
    EXPECT_EQ(r.Pending(MSG_ENDXFER).Count, 1);
    r.Transfer();
    ExpectCodes(r, {{5, "PATCH T"}}, __LINE__);
    EXPECT_EQ(r.One(TWEI_PATCHCODE).values, std::vector<TW_INT32>{5});
    EXPECT_EQ(r.Pending(MSG_ENDXFER).Count, 1);
    r.Transfer();
    EXPECT_EQ(r.One(TWEI_PATCHCODE).values, std::vector<TW_INT32>{2});
    EXPECT_EQ(r.Disable(), TWRC_SUCCESS);
}

// Items other than bar codes are told unsupported one by one, their other fields left as they
// were, and the call itself succeeds.
TEST(ExtImageInfo, UnsupportedItems) {
    Reader r(FeederOf("[Page 1]\nBarcodes=3:ONE; 3:TWO\n"));
    r.Transfer();
    const std::vector<Item> items = r.Ask({TWEI_DESHADETOP, TWEI_BARCODECOUNT, 0, 0xFFFF, TWEI_BARCODETEXT});
    EXPECT_EQ(r.rc, TWRC_SUCCESS);
    EXPECT_EQ(r.cc, 0);
    for (size_t i : {0u, 2u, 3u}) {
        EXPECT_EQ(items[i].info.ReturnCode, TWRC_INFONOTSUPPORTED) << i;
        EXPECT_EQ(items[i].info.ItemType, 0xEEEE) << i;
        EXPECT_EQ(items[i].info.NumItems, 0xEEEE) << i;
        EXPECT_EQ(items[i].info.Item, 0xEEEEEEEEu) << i;
    }
    EXPECT_EQ(items[1].values, std::vector<TW_INT32>{2});
    EXPECT_EQ(items[4].texts, (std::vector<std::string>{"ONE", "TWO"}));
    EXPECT_TRUE(r.Ask({}).empty());
    EXPECT_EQ(r.rc, TWRC_SUCCESS);
    EXPECT_EQ(r.Disable(), TWRC_SUCCESS);
}

// Only between the end of a page's transfer and MSG_ENDXFER, and only while the switch is on.
TEST(ExtImageInfo, WhenItAnswers) {
    Reader r(FeederOf("[Page 1]\nBarcodes=3:ONE\n[Page 2]\nBarcodes=3:TWO\n"));
    r.One(TWEI_BARCODECOUNT);
    EXPECT_EQ(r.rc, TWRC_FAILURE);
    EXPECT_EQ(r.cc, TWCC_SEQERROR) << "not enabled";
    EXPECT_TRUE(r.Set(CAP_INDICATORS, TWTY_BOOL, FALSE).ok());
    ASSERT_EQ(r.Enable(), TWRC_SUCCESS);
    r.enabled = true;
    r.One(TWEI_BARCODECOUNT);
    EXPECT_EQ(r.cc, TWCC_SEQERROR) << "before the transfer";
    r.Transfer();
    EXPECT_EQ(r.One(TWEI_BARCODETEXT).texts, std::vector<std::string>{"ONE"});
    EXPECT_EQ(r.Pending(MSG_ENDXFER).Count, 1);
    r.One(TWEI_BARCODECOUNT);
    EXPECT_EQ(r.cc, TWCC_SEQERROR) << "after the end of the transfer";
    EXPECT_EQ(r.Disable(), TWRC_SUCCESS);
    r.enabled = false;
    EXPECT_TRUE(r.Set(ICAP_EXTIMAGEINFO, TWTY_BOOL, FALSE).ok());
    r.Transfer();
    const Item off = r.One(TWEI_BARCODECOUNT);
    EXPECT_EQ(r.rc, TWRC_FAILURE);
    EXPECT_EQ(r.cc, TWCC_CAPBADOPERATION);
    EXPECT_EQ(off.info.ReturnCode, 0xEEEE) << "nothing written";
    EXPECT_EQ(r.Disable(), TWRC_SUCCESS);
}

// Records that do not hold what they announce: refused whole with TWCC_BADVALUE, nothing handed
// out, and the next good record is answered.
TEST(ExtImageInfo, RecordsThatLie) {
    Reader r(FeederOf("[Page 1]\nBarcodes=3:ONE; 3:TWO\n"));
    r.Transfer();
    // Two pages: the first writable, the second out of reach.
    auto *pages = static_cast<BYTE *>(VirtualAlloc(nullptr, 8192, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(pages, nullptr);
    ASSERT_NE(VirtualAlloc(pages, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
    auto *tail = reinterpret_cast<TW_EXTIMAGEINFO *>(pages + 4096 - 4 - 2 * sizeof(TW_INFO));
    auto call = [&](void *record) {
        const TW_UINT16 rc = r.kit.src().Call(&r.app, DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, record);
        r.cc = r.kit.src().Status(&r.app);
        return rc;
    };
    struct Row {
        const char *what;
        void *record;
        TW_UINT32 numInfos;
        TW_UINT16 rc, cc;
    };
    // what                          record                               NumInfos     rc            cc
    const Row rows[] = {
        {"null",                     nullptr,                             0,           TWRC_FAILURE, TWCC_BADVALUE},
        {"nowhere",                  reinterpret_cast<void *>(12),        0,           TWRC_FAILURE, TWCC_BADVALUE},
        {"header at the page's end", pages + 4094,                        0,           TWRC_FAILURE, TWCC_BADVALUE},
        {"one entry too many",       tail,                                3,           TWRC_FAILURE, TWCC_BADVALUE},
        {"an absurd count",          tail,                                0xFFFFFFFF,  TWRC_FAILURE, TWCC_BADVALUE},
        {"a count that wraps",       tail,                                0x15555556,  TWRC_FAILURE, TWCC_BADVALUE},
        {"exactly what it holds",    tail,                                2,           TWRC_SUCCESS, 0},
    };
    for (const Row &row : rows) {
        if (row.record == tail) {
            memset(tail, 0, 4 + 2 * sizeof(TW_INFO));
            tail->NumInfos = row.numInfos;
            tail->Info[0].InfoID = TWEI_BARCODECOUNT;
            tail->Info[1].InfoID = TWEI_BARCODEX;
        }
        EXPECT_EQ(call(row.record), row.rc) << row.what;
        EXPECT_EQ(r.cc, row.cc) << row.what;
        if (row.record == tail && row.rc == TWRC_FAILURE) {
            EXPECT_EQ(tail->Info[0].ReturnCode, 0) << row.what;
        }
    }
    EXPECT_EQ(tail->Info[0].Item, 2u);
    EXPECT_EQ(Reader::TakeApart(tail->Info[1]).values, (std::vector<TW_INT32>{-1, -1}));
    // A record the application can only read.
    DWORD old = 0;
    tail->NumInfos = 1;
    VirtualProtect(pages, 4096, PAGE_READONLY, &old);
    EXPECT_EQ(call(tail), TWRC_FAILURE);
    EXPECT_EQ(r.cc, TWCC_BADVALUE);
    VirtualFree(pages, 0, MEM_RELEASE);
    EXPECT_EQ(r.One(TWEI_BARCODECOUNT).values, std::vector<TW_INT32>{2});
    EXPECT_EQ(r.Pending(MSG_ENDXFER).Count, 1);
    EXPECT_EQ(r.Disable(), TWRC_SUCCESS);
}
