// The data source's process-wide state: one zero-initialised struct, set and cleared only by the
// handlers named beside each field. Everything runs on the application's thread.
#pragma once

#include "twain/twaindefs.h"

// Private TWAIN extensions.
inline constexpr TW_UINT16 DAT_DRIVERMESSAGE = 0x8001;    // raw driver message pass-through
inline constexpr TW_UINT16 DAT_DRIVERERROR = 0x8002;      // read and clear LastDriverError
inline constexpr TW_UINT16 TWCC_DRIVERERROR = 0x8001;     // a driver call failed: see LastDriverError
inline constexpr TW_UINT16 CCAP_QUIETERRORS = 0x8100;     // report driver errors instead of showing them

// The record handed to the driver when it shows its own dialog; the driver writes its window into
// the first field, which is where the source looks for the driver's dialog.
struct DriverDialogRecord {
    HWND hDriverDialog;
    LONG mode;     // 0 scan dialog, 1 settings only
    LONG buttons;  // 14 scan dialog, 4 settings only
    LONG(WINAPI *scan)(DriverDialogRecord *record);
    LONG(WINAPI *cancel)(LONG *flag);
};
static_assert(sizeof(DriverDialogRecord) == 20);

struct DsState {
    TW_UINT16 ConditionCode;   // failing handlers; DAT_STATUS reports and clears it
    TW_IDENTITY AppIdentity;   // MSG_OPENDS copies the origin; Id 0 at attach and MSG_CLOSEDS
    TW_IDENTITY DSIdentity;    // MSG_OPENDS copies pData; origin of every notification
    BOOL bDSOpen;              // MSG_OPENDS success .. MSG_CLOSEDS
    BOOL bDSEnabled;           // start of an enable .. DisableSource
    BOOL bShowUI;              // enabled with a user interface
    BOOL bCancelScanning;      // current scan run cancelled or failed; cleared at each enable
    BOOL bCloseRequested;      // the user asked to close; cleared at each enable
    BOOL bEnableFailed;        // first scan of a MSG_ENABLEDS without UI failed
    BOOL bQuietClose;          // MSG_DISABLEDS found nothing scanned and no close request
    BOOL bJexmDisplayOpen;     // display library started by an enable
    BOOL bStrict;              // strict state checks (MSG_OPENDS)
    BOOL bPhotoShopApp;        // application work-arounds, set at MSG_OPENDS, never cleared
    BOOL bTeamWAREApp;
    BOOL bStackSensor;         // scanner settings read at MSG_OPENDS
    BOOL bPrefeed;
    BOOL bInvertColor;
    BOOL bQueryFeederEmpty;
    TW_INT16 curXferCount;     // CAP_XFERCOUNT
    TW_UINT16 CurrentUnits;    // ICAP_UNITS; read by the unit conversions and the dialogs
    BOOL bReportDriverErrors;  // MSG_SET of CCAP_QUIETERRORS; MSG_RESET clears it
    LONG LastDriverError;      // failing handlers; the 0x8002 read and each transfer triplet clear it
    BOOL bLocFileOpened;       // localisation file opened (first MSG_OPENDS)
    HINSTANCE hHostInstance;   // TwJexInit: module whose strings 1 to 5 describe the scanner
    HINSTANCE hOwnInstance;    // process attach: this library
    HMODULE hTwain32;          // TWAIN_32.DLL while a notification is sent
    DSMENTRYPROC pDSM_Entry;
    HWND hBuiltInDialog;       // built-in settings dialog
    DriverDialogRecord DriverDialog;  // hDriverDialog: the driver's own dialog, as it wrote it
};

extern DsState gState;

// Common gate: closed -> TWCC_SEQERROR, foreign origin (or none) -> TWCC_MAXCONNECTIONS.
bool CheckCaller(const TW_IDENTITY *origin);

// Logs a handler's failure line (category 128) and stores its condition code: TWRC_FAILURE.
TW_UINT16 LogFailure(const char *line, TW_UINT16 conditionCode);

// Names for log lines; each formats into its own static buffer, valid until its next call.
const char *TwrcName(TW_UINT16 code);
const char *TwccName();
