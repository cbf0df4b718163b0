// Entry of the virtual jexmdln: sets up the lock that every exported function holds.
#include "jexmint.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) jexm::InitLock();
    if (reason == DLL_PROCESS_DETACH) jexm::DoneLock();
    return TRUE;
}
