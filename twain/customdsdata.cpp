// DG_CONTROL / DAT_CUSTOMDSDATA: the settings the scanner driver reports, as one text the
// application may keep and hand back later. The text is entries "name=value:" one after the
// other, the first always "Version=1.78:"; the source adds no escaping, so names hold no "=" and
// values no ":". The driver decides which settings there are: it calls the collect call-back
// once per setting for MSG_GET and the look-up call-back once per setting it wants back for
// MSG_SET.
#include <cstring>

#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/handlers.h"
#include "twain/state.h"
#include "util/gmem.h"

namespace {

constexpr LONG kCallbackFailed = -4500;
constexpr DWORD kTextStep = 1000;

// The text being collected (a zero-filled fixed block of the source's) or looked up (the
// application's locked block, read only, terminated within length). Exists only during one
// MSG_GET or MSG_SET.
struct WorkingText {
    char *text;
    DWORD capacity;  // bytes of the block (MSG_GET)
    DWORD length;    // characters before the zero byte
};
WorkingText gWorking;

void FreeWorkingText() {
    if (gWorking.text) GlobalFree(gWorking.text);
    gWorking = {};
}

// Appends "name=value:", growing the block in steps of 1000 bytes until the entry and the zero
// byte fit. A missing text, name or value adds nothing.
bool Append(const char *name, const char *value) {
    if (!gWorking.text || !name || !value) return true;
    // A text borrowed from the application (while it is read back) is never grown or freed here.
    if (gWorking.capacity == 0) return false;
    const SIZE_T nameLength = strlen(name), valueLength = strlen(value);
    const SIZE_T needed = gWorking.length + nameLength + valueLength + 3;
    if (needed >= gWorking.capacity) {
        SIZE_T capacity = gWorking.capacity;
        while (needed >= capacity) capacity += kTextStep;
        auto *grown = static_cast<char *>(GlobalAlloc(GPTR, capacity));
        if (!grown) return false;
        memcpy(grown, gWorking.text, gWorking.length + 1);
        GlobalFree(gWorking.text);
        gWorking.text = grown;
        gWorking.capacity = static_cast<DWORD>(capacity);
    }
    char *end = gWorking.text + gWorking.length;
    memcpy(end, name, nameLength);
    end[nameLength] = '=';
    memcpy(end + nameLength + 1, value, valueLength);
    end[nameLength + 1 + valueLength] = ':';
    end[nameLength + valueLength + 2] = 0;
    gWorking.length = static_cast<DWORD>(needed - 1);
    return true;
}

LONG WINAPI CollectSetting(LONG, const char *name, const char *value, LONG) {
    return Append(name, value) ? 0 : kCallbackFailed;
}

// The value of the first entry whose name begins the requested name (a driver may ask for a
// longer name than the one stored). The leading entry is stepped over, so "Version" is never
// found; an entry with an empty name matches nothing.
LONG WINAPI LookUpSetting(LONG, const char *name, LONG, char *output, LONG outputSize, LONG) {
    if (!output || outputSize <= 0 || !name || !gWorking.text) return kCallbackFailed;
    output[0] = 0;
    const char *at = gWorking.text;
    while (*at) {
        const char *entry = strchr(at, ':');
        if (!entry) break;
        ++entry;
        const char *equals = strchr(entry, '=');
        if (!equals) break;
        const size_t nameLength = static_cast<size_t>(equals - entry);
        if (nameLength > 0 && strncmp(name, entry, nameLength) == 0) {
            const char *value = equals + 1;
            const char *end = strchr(value, ':');
            if (!end) break;
            size_t valueLength = static_cast<size_t>(end - value);
            if (valueLength > static_cast<size_t>(outputSize - 1)) valueLength = static_cast<size_t>(outputSize - 1);
            memcpy(output, value, valueLength);
            output[valueLength] = 0;
            break;
        }
        at = equals;
    }
    return 0;
}

constexpr char kGetSeqError[] =
    "DG_CONTROL DAT_CUSTOMDSDATA MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR";
constexpr char kSetSeqError[] =
    "DG_CONTROL DAT_CUSTOMDSDATA MSG_SET returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR";
constexpr char kSetBadValue[] =
    "DG_CONTROL DAT_CUSTOMDSDATA MSG_SET returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE";

// DG_CONTROL / DAT_CUSTOMDSDATA / MSG_GET
TW_UINT16 GetCustomData(TW_CUSTOMDSDATA *data) {
    if (!DriverLoaded()) return LogFailure(kGetSeqError, TWCC_SEQERROR);
    gWorking.text = static_cast<char *>(GlobalAlloc(GPTR, kTextStep));
    if (!gWorking.text)
        return LogFailure("DG_CONTROL DAT_CUSTOMDSDATA MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_LOWMEMORY",
                          TWCC_LOWMEMORY);
    gWorking.capacity = kTextStep;
    gWorking.length = static_cast<DWORD>(wsprintfA(gWorking.text, "%s=%s:", "Version", "1.78"));
    const LONG r = DriverCall(kMsgCollectSettings, reinterpret_cast<LONG>(&CollectSetting), 0);
    if (r != 0) {
        FreeWorkingText();
        return LogFailure(kGetSeqError, TWCC_SEQERROR);
    }
    HGLOBAL block = GlobalAlloc(GPTR, gWorking.length + 1);
    if (!block) {
        FreeWorkingText();
        return LogFailure("DG_CONTROL DAT_CUSTOMDSDATA MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_LOWMEMORY",
                          TWCC_LOWMEMORY);
    }
    memcpy(block, gWorking.text, gWorking.length + 1);
    data->InfoLength = gWorking.length + 1;
    data->hData = block;
    FreeWorkingText();
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CUSTOMDSDATA MSG_GET returns TWRC_SUCCESS");
    return TWRC_SUCCESS;
}

// DG_CONTROL / DAT_CUSTOMDSDATA / MSG_SET. Only InfoLength bytes of the application's block are
// read (fewer when the block is smaller), and the text must end within them.
TW_UINT16 SetCustomData(const TW_CUSTOMDSDATA *data) {
    if (data->InfoLength == 0 || !data->hData) return LogFailure(kSetBadValue, TWCC_BADVALUE);
    GlobalLockGuard lock(static_cast<HGLOBAL>(data->hData));
    if (!lock.data()) return LogFailure(kSetBadValue, TWCC_BADVALUE);
    const SIZE_T limit = data->InfoLength < lock.size() ? data->InfoLength : lock.size();
    const auto *text = static_cast<const char *>(lock.data());
    const void *end = memchr(text, 0, limit);
    if (!end) return LogFailure(kSetBadValue, TWCC_BADVALUE);
    if (DriverLoaded()) {
        // The block stays the application's: the working text only borrows it.
        gWorking = {const_cast<char *>(text), 0, static_cast<DWORD>(static_cast<const char *>(end) - text)};
        const LONG r = DriverCall(kMsgRestoreSettings, reinterpret_cast<LONG>(&LookUpSetting), 0);
        gWorking = {};
        if (r != 0) return LogFailure(kSetSeqError, TWCC_SEQERROR);
    }
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CUSTOMDSDATA MSG_SET returns TWRC_SUCCESS");
    return TWRC_SUCCESS;
}

bool ReadableRecord(const void *pData) {
    return pData && !IsBadWritePtr(const_cast<void *>(pData), sizeof(TW_CUSTOMDSDATA));
}

}  // namespace

// Settings move only while the source is open and not enabled.
TW_UINT16 DatCustomDSData(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    if (!CheckCaller(origin)) {
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_CUSTOMDSDATA returns TWRC_FAILURE with Condition Code==%s", TwccName());
        return TWRC_FAILURE;
    }
    if (gState.bDSEnabled)
        return LogFailure("DG_CONTROL DAT_CUSTOMDSDATA returns TWRC_FAILURE with Condition Code==TWCC_SEQERROR",
                          TWCC_SEQERROR);
    gState.ConditionCode = 0;
    auto *data = static_cast<TW_CUSTOMDSDATA *>(pData);
    switch (msg) {
    case MSG_GET:
        SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CUSTOMDSDATA MSG_GET");
        if (!ReadableRecord(data))
            return LogFailure("DG_CONTROL DAT_CUSTOMDSDATA MSG_GET returns TWRC_FAILURE with Condition Code==TWCC_BADVALUE",
                              TWCC_BADVALUE);
        return GetCustomData(data);
    case MSG_SET:
        SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_CUSTOMDSDATA MSG_SET");
        if (!ReadableRecord(data)) return LogFailure(kSetBadValue, TWCC_BADVALUE);
        return SetCustomData(data);
    default:
        SdkPrint(kLogTwainApi,
                 "Called: DG_CONTROL DAT_CUSTOMDSDATA unknown message (%08x) returns TWRC_FAILURE with Condition "
                 "Code==TWCC_BADPROTOCOL",
                 msg);
        gState.ConditionCode = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
}
