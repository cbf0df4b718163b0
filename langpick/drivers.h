// The installed scanner drivers: "*.zrd" files in the "Quilmet" folder of the Windows
// directory, and the list of paths behind the entries of the scanner box.
#pragma once

#include <windows.h>

// One entry of the scanner box: the driver file, or for all scanners its localisation file.
struct DriverItem {
    wchar_t path[MAX_PATH];
    DriverItem *next;
};

// Items in the order added; owned by the dialog, freed when it is destroyed.
struct DriverList {
    DriverItem *head;
    DriverItem *tail;
};

// A new unlinked item for path, or null when out of memory or path does not fit.
DriverItem *NewDriverItem(const wchar_t *path);
void FreeDriverItem(DriverItem *item);
void AttachDriverItem(DriverList *list, DriverItem *item);
void FreeDriverList(DriverList *list);

// dir + "\" + name into out. False (out empty when cap allows) when it does not fit in cap or
// an argument is null.
bool JoinPath(wchar_t *out, size_t cap, const wchar_t *dir, const wchar_t *name);

// Windows directory + "\Quilmet". False (out empty when cap allows) when it does not fit in cap.
bool QuilmetDir(wchar_t *out, size_t cap);

// Localisation file of the all-scanners entry: "jextools.loc" in dir, or "sdk.loc" when there
// is no jextools.loc. False when it does not fit in cap.
bool AllScannersLocPath(const wchar_t *dir, wchar_t *out, size_t cap);

// Loads the driver at path and asks whether it supports a language choice. True when it exports
// "SetLocaleEnable" and that answers non-zero; name then holds its display name (string 129),
// empty when it has none. The driver is unloaded again in every case; a file that is not a
// library, or whose start-up fails, gives false.
bool ProbeDriver(const wchar_t *path, wchar_t *name, int cap);

// Calls onDriver for each "*.zrd" file of dir (not folders) with its full path, in the order
// the system lists them; paths too long for MAX_PATH are skipped.
using DriverFileFn = void (*)(void *context, const wchar_t *path);
void ForEachDriverFile(const wchar_t *dir, DriverFileFn onDriver, void *context);
