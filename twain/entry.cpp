// The exported entry points and the dispatch of every triplet to its handler. Only dispatch
// lives here; the three answers that need no handler (DAT_PARENT, DAT_STATUS, the stored driver
// error read) are small enough to sit in the table.
#include <windows.h>

#include "sdkprint/sdkprint.h"
#include "twain/handlers.h"
#include "twain/state.h"

namespace {

// DG_CONTROL / DAT_PARENT / any message
TW_UINT16 DatParent(TW_IDENTITY *, TW_UINT16, TW_MEMREF) {
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_PARENT returns TWRC_SUCCESS - no affect");
    return TWRC_SUCCESS;
}

// DG_CONTROL / DAT_STATUS / any message. Answers in every state. Without a TW_STATUS to write
// into, the stored code is kept for a later, valid request.
TW_UINT16 DatStatus(TW_IDENTITY *, TW_UINT16, TW_MEMREF pData) {
    auto *status = static_cast<TW_STATUS *>(pData);
    if (!status) return TWRC_FAILURE;
    status->ConditionCode = gState.ConditionCode;
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_STATUS reurn TWRC_SUCCESS.  ConditionCode set to %08x",
             gState.ConditionCode);
    gState.ConditionCode = 0;
    return TWRC_SUCCESS;
}

// DG_CONTROL / 0x8002 / any message: hands out the stored driver error once. Answers
// TWRC_FAILURE even when it worked: applications written for this source expect that.
TW_UINT16 DatDriverError(TW_IDENTITY *, TW_UINT16, TW_MEMREF pData) {
    if (!pData) return TWRC_FAILURE;
    *static_cast<LONG *>(pData) = gState.LastDriverError;
    gState.LastDriverError = 0;
    return TWRC_FAILURE;
}

struct Route {
    TW_UINT16 dat;
    DatHandler handler;
    bool clearsDriverError;  // image transfers start with no stored driver error
};

constexpr Route kControlRoutes[] = {
    {DAT_CAPABILITY, DatCapability, false},     {DAT_IDENTITY, DatIdentity, false},
    {DAT_PARENT, DatParent, false},             {DAT_PENDINGXFERS, DatPendingXfers, false},
    {DAT_SETUPMEMXFER, DatSetupMemXfer, false}, {DAT_SETUPFILEXFER, DatSetupFileXfer, false},
    {DAT_STATUS, DatStatus, false},             {DAT_USERINTERFACE, DatUserInterface, false},
    {DAT_XFERGROUP, DatXferGroup, false},       {DAT_CUSTOMDSDATA, DatCustomDSData, false},
    {DAT_DRIVERMESSAGE, DatDriverMessage, false}, {DAT_DRIVERERROR, DatDriverError, false},
};

constexpr Route kImageRoutes[] = {
    {DAT_IMAGEINFO, DatImageInfo, false},          {DAT_IMAGELAYOUT, DatImageLayout, false},
    {DAT_IMAGEMEMXFER, DatImageMemXfer, true},     {DAT_IMAGENATIVEXFER, DatImageNativeXfer, true},
    {DAT_IMAGEFILEXFER, DatImageFileXfer, true},   {DAT_PALETTE8, DatPalette8, false},
    {DAT_EXTIMAGEINFO, DatExtImageInfo, false},
};

template <size_t N>
const Route *FindRoute(const Route (&routes)[N], TW_UINT16 dat) {
    for (const Route &r : routes)
        if (r.dat == dat) return &r;
    return nullptr;
}

// Applications of protocol 1.5 and older know no capability-specific condition codes.
void MapConditionForOldApps() {
    const TW_UINT16 major = gState.AppIdentity.ProtocolMajor;
    const TW_UINT16 minor = gState.AppIdentity.ProtocolMinor;
    if (major > 1 || (major == 1 && minor >= 6)) return;
    const TW_UINT16 cc = gState.ConditionCode;
    if (cc != TWCC_CAPUNSUPPORTED && cc != TWCC_CAPBADOPERATION && cc != TWCC_CAPSEQERROR) return;
    SdkPrint(kLogTwainApi, "app is twain 1.5 or earlier.  map TWCC response to TWCC_BADCAP");
    gState.ConditionCode = TWCC_BADCAP;
}

TW_UINT16 Reject(const char *format, TW_UINT32 value) {
    SdkPrint(kLogTwainApi, format, value);
    gState.ConditionCode = TWCC_BADPROTOCOL;
    return TWRC_FAILURE;
}

}  // namespace

extern "C" TW_UINT16 WINAPI TwJexDS_Entry(DWORD /*reserved*/, TW_IDENTITY *origin, TW_UINT32 dg,
                                         TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF pData) {
    const Route *route = nullptr;
    if (dg == DG_CONTROL) {
        if (dat == DAT_EVENT) return DatEvent(origin, msg, pData);
        route = FindRoute(kControlRoutes, dat);
        if (!route)
            return Reject("Called: DG_CONTROL with unknown DAT value (%08x).  returning TWRC_FAILURE with "
                          "ConditionCode==TWCC_BADPROTOCOL",
                          dat);
    } else if (dg == DG_IMAGE) {
        route = FindRoute(kImageRoutes, dat);
        if (!route)
            return Reject("Called: DG_IMAGE with unknown DAT value (%08x).  returning TWRC_FAILURE with "
                          "ConditionCode==TWCC_BADPROTOCOL",
                          dat);
    } else {
        return Reject("Called TWAIN with unknown DG value (%08x).  returning TWRC_FAILURE with "
                      "ConditionCode==TWCC_BADPROTOCOL",
                      dg);
    }
    if (route->clearsDriverError) gState.LastDriverError = 0;
    const TW_UINT16 result = route->handler(origin, msg, pData);
    MapConditionForOldApps();
    return result;
}

// The host hands over a record whose first word is the module carrying the scanner's strings.
extern "C" TW_UINT16 WINAPI TwJexInit(const HINSTANCE *hostRecord) {
    if (hostRecord) gState.hHostInstance = *hostRecord;
    return 0;
}

extern "C" TW_UINT16 WINAPI TwJexDone(DWORD /*ignored*/) { return 0; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        gState.hTwain32 = nullptr;
        gState.pDSM_Entry = nullptr;
        gState.hOwnInstance = instance;
        gState.AppIdentity.Id = 0;
        gState.DSIdentity.Id = 0;
        gState.curXferCount = -1;  // all pages, until an open reads the driver's mode
        break;
    case DLL_PROCESS_DETACH:
        // At process exit other threads are gone, possibly holding the log's lock, and the
        // system reclaims everything: nothing is done then.
        if (reserved) break;
        if (gState.hTwain32) FreeLibrary(gState.hTwain32);
        gState.hTwain32 = nullptr;
        gState.pDSM_Entry = nullptr;
        LogEnd();
        break;
    default:
        break;
    }
    return TRUE;
}
