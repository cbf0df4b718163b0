// The bar-code collector and the tables that name what it collects.
#include "ui/barcode.h"

#include <cstring>
#include <iterator>

#include "ui/bardata.h"
#include "xfer/pagestate.h"

namespace {

constexpr LONG kMsgRegister = 768;
constexpr LONG kMsgSetString = 800;
constexpr LONG kMsgSetLong = 801;
constexpr LONG kMsgGetLong = 0x310;
constexpr LONG kMsgGetString = 0x312;
constexpr LONG kMsgPageStart = 259;
constexpr LONG kMsgStripQuery = 545;
constexpr LONG kMsgCodesStart = 1314;
constexpr LONG kMsgRows = 1538;
constexpr LONG kMsgCode = 1585;
constexpr LONG kTagCodeText = 1735;
constexpr LONG kTagCodeType = 1730;
constexpr LONG kTextBytes = 256;

struct BarcodeType {
    SHORT driverType;
    SHORT twain;
    UINT stringId;
};
constexpr BarcodeType kBarcodeTypes[] = {
    {-1, -1, 72}, {0, -1, 71},  {1, 9, 50},   {2, 10, 51},  {3, 0, 52},   {4, 1, 53},
    {5, 2, 55},   {6, 2, 56},   {7, 2, 57},   {17, 2, 54},  {12, 6, 58},  {18, 7, 59},
    {13, 8, 60},  {14, 3, 61},  {15, 4, 62},  {16, 11, 63}, {19, -1, 64}, {20, -1, 65},
    {8, 0, 67},   {9, 1, 68},   {10, 2, 69},  {11, 5, 70},
};
constexpr UINT kUnknownString = 72;

struct Orientation {
    SHORT code;
    UINT stringId;
};
constexpr Orientation kOrientations[] = {{-1, 72}, {1, 73}, {2, 74}, {3, 75}, {4, 76}};

// Driver types of patch sheets, kept apart so a job separator can be told by its patch.
constexpr SHORT kPatchTypes[] = {9, 10, 11, 24, 25, 26};

const BarcodeType *FindType(SHORT driverType) {
    for (const BarcodeType &t : kBarcodeTypes)
        if (t.driverType == driverType) return &t;
    return nullptr;
}

LONG CallSelf(JEXLIBRECORD *record, LONG message, LONG tag, LONG value) {
    auto entry = reinterpret_cast<JEXDRIVERPROC>(record->words[0]);
    return entry ? entry(record->words[2], message, tag, value) : -4510;
}

// Every entry goes back to its empty values too, so nothing of the last page can be read as
// this one's.
void EmptyList() {
    ResetBarData();
    gPage.PatchCodes.count = 0;
}

void TakeCode(JEXLIBRECORD *record) {
    char text[kTextBytes] = {};
    if (CallSelf(record, kMsgGetString, kTagCodeText | (kTextBytes << 16), reinterpret_cast<LONG>(text)) != 0)
        text[0] = 0;
    text[kTextBytes - 1] = 0;
    LONG type = 0;
    if (CallSelf(record, kMsgGetLong, kTagCodeType, reinterpret_cast<LONG>(&type)) != 0) type = 0;
    const SHORT shortType = static_cast<SHORT>(type);
    for (SHORT patch : kPatchTypes) {
        PatchCodeList &list = gPage.PatchCodes;
        if (patch == shortType && list.count < static_cast<SHORT>(std::size(list.entries)))
            list.entries[list.count++].type = shortType;
    }
    if (text[0] == 0 || type == 0 || BarData.count >= 8) return;
    HGLOBAL block = GlobalAlloc(GHND, kTextBytes);
    if (!block) return;
    if (char *p = static_cast<char *>(GlobalLock(block))) {
        lstrcpynA(p, text, kTextBytes);
        GlobalUnlock(block);
    }
    BarcodeEntry &e = BarData.entries[BarData.count];
    EmptyBarcodeEntry(&e);
    e.type = shortType;
    e.text = block;
    e.textLength = static_cast<WORD>(strlen(text));
    ++BarData.count;
}

}  // namespace

SHORT BarcodeTypeToTwain(SHORT driverType) {
    const BarcodeType *t = FindType(driverType);
    return t ? t->twain : -1;
}

UINT BarcodeTypeString(SHORT driverType) {
    const BarcodeType *t = FindType(driverType);
    return t ? t->stringId : kUnknownString;
}

UINT BarcodeOrientationString(SHORT orientation) {
    for (const Orientation &o : kOrientations)
        if (o.code == orientation) return o.stringId;
    return kUnknownString;
}

extern "C" LONG WINAPI BarcodeMiniProc(JEXLIBRECORD *record, LONG message, LONG tag, LONG value) {
    if (!record) return -4501;
    LONG result = 0;
    switch (message & 0xFFFF) {
    case kMsgPageStart:
        CallSelf(record, kMsgRegister, 0, kTagCodeText | (2 << 16));
        CallSelf(record, kMsgSetString, kTagCodeText, reinterpret_cast<LONG>(""));
        CallSelf(record, kMsgRegister, 0, kTagCodeType | (4 << 16));
        CallSelf(record, kMsgSetLong, kTagCodeType, -1);
        // A new page starts with an empty list; texts of the last page are freed, not dropped.
        EmptyList();
        break;
    case kMsgRows:
        // The rows go on to the next driver here and nowhere else, so each strip reaches the
        // page image once.
        if (record->words[18] == 0) return 0;
        return reinterpret_cast<JEXDRIVERPROC>(record->words[16])(record->words[18], message, tag, value);
    case kMsgCodesStart:
        EmptyList();
        break;
    case kMsgCode:
        TakeCode(record);
        break;
    case kMsgStripQuery:
        if (value) *reinterpret_cast<LONG *>(value) = 0;
        return 0;
    default:
        break;
    }
    if (result < 0) return result;
    return JexdfltDefDriverProc(record, message, tag, value);
}
