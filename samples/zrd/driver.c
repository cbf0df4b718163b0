/* A sample scanner driver file for Yarrel: a library that says whether it supports a language
 * choice (SAMPLE_LOCALE_ENABLE), with SAMPLE_FAIL_STARTUP refuses to load, and with
 * SAMPLE_NO_EXPORT does not export the question at all. Its display name is string 129 of its
 * resource script (a driver built without one has no name). */
#include <windows.h>

#ifndef SAMPLE_LOCALE_ENABLE
#define SAMPLE_LOCALE_ENABLE 1
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
#ifdef SAMPLE_FAIL_STARTUP
    if (reason == DLL_PROCESS_ATTACH) return FALSE;
#else
    (void)reason;
#endif
    return TRUE;
}

#ifndef SAMPLE_NO_EXPORT
/* Exported undecorated (linked with --kill-at). */
__declspec(dllexport) BOOL WINAPI SetLocaleEnable(void) { return SAMPLE_LOCALE_ENABLE; }
#endif
