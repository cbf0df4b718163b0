// DG_CONTROL / DAT_IDENTITY: the source's identity, opening (driver libraries started, scanner
// driver loaded and probed, settings read, work-arounds chosen) and closing.
#include <cstdlib>
#include <cstring>

#include "cap/capstate.h"
#include "cap/pagesizes.h"
#include "sdkprint/sdkprint.h"
#include "twain/driver.h"
#include "twain/handlers.h"
#include "twain/jexerr.h"
#include "twain/resource.h"
#include "twain/source.h"
#include "ui/bardata.h"
#include "twain/hoststrings.h"
#include "twain/state.h"
#include "twain/version.h"

int LoadHostString(UINT id, char *buffer, int size) {
    if (size <= 0) return 0;
    buffer[0] = 0;
    if (!gState.hHostInstance) return 0;
    int n = LoadStringA(gState.hHostInstance, id, buffer, size);
    buffer[size - 1] = 0;
    return n;
}

namespace {

constexpr LONG kDefaultModeLimit = 0x1F7FFF76;

// DG_CONTROL / DAT_IDENTITY / MSG_GET: works in every state; the Id field is the manager's.
TW_UINT16 IdentityGet(TW_IDENTITY *id) {
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_IDENTITY MSG_GET");
    if (!id) {
        gState.ConditionCode = TWCC_BADVALUE;
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_IDENTITY MSG_GET returning TWRC_FAILURE with Condition Code==%s",
                 TwccName());
        return TWRC_FAILURE;
    }
    const char *version = TWJEX_VERSION_TEXT;
    const char *point = strchr(version, '.');
    id->Version.MajorNum = static_cast<TW_UINT16>(atoi(version));
    id->Version.MinorNum = static_cast<TW_UINT16>(point ? atoi(point + 1) : 0);
    id->Version.Language = TWLG_USA;
    id->Version.Country = TWCY_USA;
    lstrcpynA(id->Version.Info, version, sizeof id->Version.Info);
    id->ProtocolMajor = TWJEX_PROTOCOL_MAJOR;
    id->ProtocolMinor = TWJEX_PROTOCOL_MINOR;
    id->SupportedGroups = DG_CONTROL | DG_IMAGE;
    LoadHostString(kHostManufacturer, id->Manufacturer, sizeof id->Manufacturer);
    LoadHostString(kHostProductFamily, id->ProductFamily, sizeof id->ProductFamily);
    LoadHostString(kHostProductName, id->ProductName, sizeof id->ProductName);
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_IDENTITY MSG_GET returning TWRC_SUCCESS");
    return TWRC_SUCCESS;
}

// ---- Settings of the model, in the driver library's store under the host's section.

bool ReadSetting(const char *section, const char *key, char *buffer, int size) {
    buffer[0] = 0;
    if (JexdfltGetSetting(0, section, key, buffer, size) != 0) {
        buffer[0] = 0;
        return false;
    }
    buffer[size - 1] = 0;
    return true;
}

LONG ReadLongSetting(const char *section, const char *key, LONG missing) {
    char text[64];
    return ReadSetting(section, key, text, sizeof text) ? atol(text) : missing;
}

// On only when present, not "False" and non-zero as a number: the text True reads as off.
bool ReadQueryFeederEmpty(const char *section) {
    char text[64];
    if (!ReadSetting(section, "QueryFeederEmpty", text, sizeof text)) return false;
    if (lstrcmpiA(text, "False") == 0) return false;
    return atol(text) != 0;
}

// Application recognition. Once a work-around is chosen it stays for the library's lifetime.
void RecogniseApplication(const TW_IDENTITY &app) {
    if (strncmp(app.Manufacturer, "Genoa", 5) == 0) {
        SdkPrint(kLogTwain, "Application is Genoa");
        gState.bStrict = TRUE;
    }
    if (_strnicmp(app.ProductName, "PhotoShop", 9) == 0) {
        SdkPrint(kLogTwain, "Application is PhotoShop");
        gState.bPhotoShopApp = TRUE;
    }
    if (_strnicmp(app.ProductFamily, "TeamWARE", 8) == 0) {
        SdkPrint(kLogTwain, "Application is TeamWARE");
        gState.bTeamWAREApp = TRUE;
    }
}

// Identity texts from the application may fill their 34 bytes without a terminator.
void TerminateNames(TW_IDENTITY *id) {
    id->Version.Info[sizeof id->Version.Info - 1] = 0;
    id->Manufacturer[sizeof id->Manufacturer - 1] = 0;
    id->ProductFamily[sizeof id->ProductFamily - 1] = 0;
    id->ProductName[sizeof id->ProductName - 1] = 0;
}

TW_UINT16 OpenFailed(LONG driverError, bool mayReportDriverError) {
    constexpr char kLine[] = "DG_CONTROL DAT_IDENTITY MSG_OPENDS returns TWRC_FAILURE with Condition Code==TWCC_OPERATIONERROR";
    if (!mayReportDriverError) return LogFailure(kLine, TWCC_OPERATIONERROR);
    return FailWithDriverError(driverError, kLine, TWCC_OPERATIONERROR);
}

// DG_CONTROL / DAT_IDENTITY / MSG_OPENDS
TW_UINT16 IdentityOpenDS(TW_IDENTITY *origin, TW_IDENTITY *dsId) {
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_IDENTITY MSG_OPENDS:");
    // A refused or repeated open must not wipe the bar codes of the session that is open.
    if (gState.bDSOpen) {
        if (CheckCaller(origin)) {
            SdkPrint(kLogTwainApi, "DS already open and valid.  returning success");
            return TWRC_SUCCESS;
        }
        SdkPrint(kLogTwainApi, "DS already open but not valid.  returning TWRC_FAILURE");
        return TWRC_FAILURE;
    }
    // The manager always passes both identities; without them there is nobody to open for.
    if (!origin || !dsId) {
        gState.ConditionCode = TWCC_BADVALUE;
        SdkPrint(kLogTwainApi, "DG_CONTROL DAT_IDENTITY MSG_OPENDS returns TWRC_FAILURE with Condition Code==%s",
                 TwccName());
        return TWRC_FAILURE;
    }
    ResetBarData();
    gState.AppIdentity = *origin;
    TerminateNames(&gState.AppIdentity);
    if (!gState.bLocFileOpened) {
        JexlocOpen("twjex.loc");
        gState.bLocFileOpened = TRUE;
    }
    RecogniseApplication(gState.AppIdentity);
    gState.DSIdentity = *dsId;
    TerminateNames(&gState.DSIdentity);

    // An error of the three steps below that the driver has already reported to the user itself
    // (ChkJexErr answers 0 for it) does not fail the open: the source opens without a driver,
    // reports the device as off line and refuses what needs the scanner.
    gDriver.entry = nullptr;
    const LONG started = JexdfltInit();
    if (ChkJexErr(gDriver, started) != 0) {
        SdkPrint(kLogTwain, "JexdfltInit failed.");
        return OpenFailed(started, true);
    }
    JexdfltSetVendor("Quilmet Systems, Inc.");
    char family[256], section[256];
    if (!LoadHostString(kHostDriverFamily, family, sizeof family)) {
        JexdfltDone();
        return OpenFailed(0, false);
    }
    if (lstrcmpiA(family, "TWAINJEX") == 0) JexdfltSelectFamily(0, family);
    if (!LoadHostString(kHostSection, section, sizeof section)) {
        JexdfltDone();
        return OpenFailed(0, false);
    }
    JexdfltPutSetting(0, family, "Model", section);
    gState.bQueryFeederEmpty = ReadQueryFeederEmpty(section);

    const LONG loaded = JexdfltLoadDriver(0, family, &gDriver, JEX_LOAD_SCANNER);
    const LONG loadShown = ChkJexErr(gDriver, loaded);
    if (loaded != 0) {
        // A failed load may still have filled the record: it is taken down, never called.
        if (DriverLoaded()) JexdfltUnloadDriver(&gDriver);
        gDriver = JEXDRIVER{};
    }
    if (loadShown != 0) {
        JexdfltDone();
        SdkPrint(kLogTwain, "Loading the ORVA driver returned %08x", loaded);
        return OpenFailed(loaded, true);
    }
    if (DriverLoaded()) {
        const LONG initialised = JexdfltInitDriver(&gDriver, family, nullptr);
        const LONG initShown = ChkJexErr(gDriver, initialised);
        // A driver that did not initialise is not used, even when it told the user itself.
        if (initialised != 0) {
            JexdfltUnloadDriver(&gDriver);
            gDriver = JEXDRIVER{};
        }
        if (initShown != 0) {
            JexdfltDone();
            SdkPrint(kLogTwain, "Initializing the ORVA driver returned %08x", initialised);
            return OpenFailed(initialised, true);
        }
    }
    DrvSetLong(kTag5374, 0);
    DrvSetLong(kTagModeLimit, ReadLongSetting(section, "INIModeLimit", kDefaultModeLimit));

    LoadDriverCapabilities();
    ProbeImageTypes();
    DriverCall(kMsgOpened, 0, 0);
    LONG features = 0;
    DrvGetLong(kTagDeviceFeatures, &features);
    gState.bStackSensor = (features >> 16) & 1;
    ProbePaperSources();
    LONG single = 0;
    DrvGetLong(kTagSinglePage, &single);
    gState.curXferCount = single != 0 ? 1 : -1;
    InitEndorser();
    RefreshPageSizes();

    if (ReadLongSetting(section, "Strict", 0) != 0) gState.bStrict = TRUE;
    DrvSetLong(kTag1404, 0);
    gState.bInvertColor = FALSE;
    gState.bInvertColor = ReadLongSetting(section, "InvertColor", 0) != 0;
    gState.bPrefeed = ReadLongSetting(section, "Prefeed", gState.bStackSensor ? 0 : 1) != 0;

    gState.bDSOpen = TRUE;
    gState.DriverDialog.hDriverDialog = nullptr;
    gState.bQuietClose = FALSE;
    SetDefaultFileXfer();
    const TW_IDENTITY &app = gState.AppIdentity;
    SdkPrint(kLogTwain,
             "Application: Id=%d Version=%d.%d \nTwainVer=%d.%d \nManufacturer=%s \nProductFamily=%s \nProductName=%s\n",
             app.Id, app.Version.MajorNum, app.Version.MinorNum, app.ProtocolMajor, app.ProtocolMinor,
             app.Manufacturer, app.ProductFamily, app.ProductName);
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_IDENTITY MSG_OPENDS returns TWRC_SUCCESS");
    return TWRC_SUCCESS;
}

// An imaging application of the Windows 95 era leaves a window behind at close; a helper
// program in the TWAIN folder hides it.
void StartVeilHelperIfNeeded() {
    const TW_IDENTITY &app = gState.AppIdentity;
    if (!strstr(app.Manufacturer, "Wang") && !strstr(app.Manufacturer, "Eastman")) return;
    const DWORD version = GetVersion();
    if (!(version & 0x80000000u) || ((version >> 8) & 0xFF) != 0) return;
    SdkPrint(kLogTwain, "Wang Imaging '95 running, start thread to work around app bug");
    char path[MAX_PATH + 32];
    UINT n = GetWindowsDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    if (path[n - 1] != '\\') lstrcatA(path, "\\");
    lstrcatA(path, "TWAIN_32\\VEILWIN.EXE");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, HIGH_PRIORITY_CLASS, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

// DG_CONTROL / DAT_IDENTITY / MSG_CLOSEDS
TW_UINT16 IdentityCloseDS(TW_IDENTITY *origin) {
    SdkPrint(kLogTwainApi, "Called: DG_CONTROL DAT_IDENTITY MSG_CLOSEDS:");
    StartVeilHelperIfNeeded();
    if (gState.bDSOpen) {
        if (!CheckCaller(origin)) {
            SdkPrint(kLogTwainApi, "DS open but not valid.  returning TWRC_FAILURE");
            return TWRC_FAILURE;
        }
        char section[256];
        LoadHostString(kHostSection, section, sizeof section);
        JexdfltPutSetting(0, section, "InvertColor", gState.bInvertColor ? "1" : "0");
        JexdfltPutSetting(0, section, "Prefeed", gState.bPrefeed ? "1" : "0");
        if (DriverLoaded()) DriverCall(kMsgClosing, 0, 0);
        DisableSource();
        if (DriverLoaded()) JexdfltUnloadDriver(&gDriver);
        gDriver = JEXDRIVER{};
        JexdfltDone();
    }
    gState.AppIdentity.Id = 0;
    gState.bDSOpen = FALSE;
    SdkPrint(kLogTwainApi, "DG_CONTROL DAT_IDENTITY MSG_CLOSEDS returns TWRC_SUCCESS");
    return TWRC_SUCCESS;
}

}  // namespace

TW_UINT16 DatIdentity(TW_IDENTITY *origin, TW_UINT16 msg, TW_MEMREF pData) {
    switch (msg) {
    case MSG_GET:
        return IdentityGet(static_cast<TW_IDENTITY *>(pData));
    case MSG_OPENDS:
        return IdentityOpenDS(origin, static_cast<TW_IDENTITY *>(pData));
    case MSG_CLOSEDS:
        return IdentityCloseDS(origin);
    default:
        SdkPrint(kLogTwainApi,
                 "DG_CONTROL DAT_IDENTITY unknown message (%08x) returns TWRC_FAILURE with Condition "
                 "Code==TWCC_BADPROTOCOL",
                 msg);
        gState.ConditionCode = TWCC_BADPROTOCOL;
        return TWRC_FAILURE;
    }
}

// ---- Default file transfer target.
FileXferSetup gFileXfer;

// The format word is always reset; a name that would not fit, or whose parts cannot be had,
// leaves the previous name.
void SetDefaultFileXfer() {
    char dir[MAX_PATH];
    const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    char name[64] = {};
    const int nameLength = LoadStringA(gState.hOwnInstance, IDS_TRANSFER_FILE, name, sizeof name);
    gFileXfer.Format = 0;
    if (n == 0 || n >= MAX_PATH || nameLength <= 0) return;
    if (n + 1 + nameLength >= sizeof gFileXfer.FileName) return;
    // The backslash goes in even after a directory that ends in one.
    wsprintfA(gFileXfer.FileName, "%s\\%s", dir, name);
}
