// Error texts (@28): one line for every error the kit produces, plus those the data source hands
// back to drivers, plus jexmdln's own (asked through its kit-private JexmKitErrorText).
#include <cstdio>

#include "kit/jexdfltn/libstate.h"

namespace {

struct ErrorText { LONG error; const char *text; };
constexpr ErrorText kTexts[] = {
    {KIT_ERR_NOMEMORY, "Not enough memory."},
    {KIT_ERR_BADARG, "Invalid argument passed to the scanner library."},
    {KIT_ERR_BADTAG, "The scanner driver does not know this setting."},
    {KIT_ERR_BADVALUE, "The scanner does not support this value."},
    {KIT_ERR_BADKIND, "Wrong kind of value for this setting."},
    {KIT_ERR_READONLY, "This setting cannot be changed."},
    {KIT_ERR_BADINDEX, "Choice number out of range."},
    {KIT_ERR_BUFFER, "The buffer is too small."},
    {KIT_ERR_NOCHOICES, "This setting has no list of allowed values."},
    {KIT_ERR_BADHANDLE, "Unknown or unloaded scanner driver."},
    {KIT_ERR_NOTSTARTED, "The scanner library has not been started."},
    {KIT_ERR_NODRIVER, "The scanner driver file was not found."},
    {KIT_ERR_BADDRIVER, "The file is not a scanner driver."},
    {KIT_ERR_TOOMANY, "Too many scanner drivers are loaded."},
    {KIT_ERR_NOTINIT, "The scanner driver has not been initialised."},
    {KIT_ERR_NOIMAGE, "No page image was given to the driver."},
    {KIT_ERR_NOSNAPSHOT, "No saved settings to restore."},
    {KIT_ERR_SNAPDEPTH, "Too many saved settings."},
    {KIT_ERR_NOJEXM, "The image library jexmdln.dll is not available."},
    {KIT_ERR_PROFILE, "The scanner profile cannot be read."},
    {KIT_ERR_PAGEFOLDER, "The folder of page images does not exist."},
    {KIT_ERR_BADPAGE, "A page image cannot be read."},
    {KIT_ERR_CANCEL, "Scanning was cancelled."},
    {KIT_ERR_PAPERJAM, "Paper jam. Remove the jammed paper from the feeder."},
    {KIT_ERR_FEEDEREMPTY, "There is no paper in the feeder."},
    {KIT_ERR_COVEROPEN, "The scanner cover is open."},
    {KIT_ERR_OFFLINE, "The scanner does not respond."},
    {KIT_ERR_BUSY, "The scanner is busy."},
    {KIT_ERR_FAULT, "The scanner reported a fault."},
    {KIT_ERR_NODIALOG, "The scanner driver has no dialog."},
    {KIT_ERR_BADMESSAGE, "The scanner driver does not support this request."},
    {KIT_ERR_SINKOP, "The preview display does not support this request."},
    {KIT_ERR_SINKIMAGE, "There is no preview image."},
};

}  // namespace

void WINAPI KitPageError(LPCSTR text) {
    KitCopyString(g_kit.pageErrorText, sizeof g_kit.pageErrorText, text);
}

namespace {

typedef LONG(WINAPI *JexmErrorTextProc)(LONG error, LPSTR buffer, LONG size);

bool JexmText(LONG error, char *text, int size) {
    HMODULE jexm = GetModuleHandleA("jexmdln.dll");
    if (!jexm) return false;
    auto proc = reinterpret_cast<JexmErrorTextProc>(reinterpret_cast<void (*)(void)>(GetProcAddress(jexm, "JexmKitErrorText")));
    return proc && proc(error, text, size) == 0 && text[0] != 0;
}

}  // namespace

extern "C" LONG WINAPI JexdfltErrorText(LONG reserved, const JEXDRIVER *record, LONG error, LPSTR buffer, LONG size) {
    int rec = KitRecordBegin();
    const char *who = "0";
    KitSlot *slot = nullptr;
    if (record && KitReadable(record, sizeof *record)) slot = KitFindSlot(record->instance);
    if (slot) who = slot->name;
    else if (record) who = "unknown";
    if (size <= 0 || size > 0x100000 || !KitWritable(buffer, size)) {
        KitRecordEnd(rec, "28 JexdfltErrorText(%ld, %s, %ld, %ld) = %ld", reserved, who, error, size, KIT_ERR_BADARG);
        return KIT_ERR_BADARG;
    }
    char text[600] = {};
    LONG rc = 0;
    const char *found = nullptr;
    for (const ErrorText &t : kTexts)
        if (t.error == error) found = t.text;
    if (error == KIT_ERR_PROFILE && g_kit.lastLoadError[0]) {
        snprintf(text, sizeof text, "The scanner profile cannot be read: %s", g_kit.lastLoadError);
    } else if (error == KIT_ERR_PAGEFOLDER && g_kit.lastLoadError[0]) {
        snprintf(text, sizeof text, "The folder of page images does not exist: %s", g_kit.lastLoadError);
    } else if (error == KIT_ERR_BADPAGE && g_kit.pageErrorText[0]) {
        snprintf(text, sizeof text, "A page image cannot be read: %s", g_kit.pageErrorText);
    } else if (error == KIT_ERR_NODRIVER && g_kit.lastLoadError[0]) {
        snprintf(text, sizeof text, "The scanner driver file was not found: %s", g_kit.lastLoadError);
    } else if (found) {
        lstrcpynA(text, found, sizeof text);
    } else if (!JexmText(error, text, sizeof text)) {
        snprintf(text, sizeof text, "Unknown scanner error %ld.", error);
        rc = 1;
    }
    lstrcpynA(buffer, text, size);
    KitRecordEnd(rec, "28 JexdfltErrorText(%ld, %s, %ld, %ld) = %ld", reserved, who, error, size, rc);
    return rc;
}
