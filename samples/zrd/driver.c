/* A sample scanner driver file for Yarrel: a library that says whether it supports a language
 * choice (SAMPLE_LOCALE_ENABLE) and, with SAMPLE_FAIL_STARTUP, refuses to load. Its display
 * name is string 129 of its resource script. */
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

/* Exported undecorated (linked with --kill-at). */
__declspec(dllexport) BOOL WINAPI SetLocaleEnable(void) { return SAMPLE_LOCALE_ENABLE; }
