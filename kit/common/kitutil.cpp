// Small defensive helpers shared by the kit's modules: every export of the kit takes pointers
// from callers it cannot trust, so strings and buffers are checked before they are touched.
#include "kit/common/kitcommon.h"

BOOL KitReadable(const void *p, UINT_PTR n) {
    return p != nullptr && !IsBadReadPtr(p, n);
}

BOOL KitWritable(void *p, UINT_PTR n) {
    return p != nullptr && !IsBadWritePtr(p, n);
}

BOOL KitCopyString(LPSTR dst, int size, LPCSTR src) {
    if (dst == nullptr || size <= 0) return FALSE;
    dst[0] = 0;
    if (src == nullptr) return FALSE;
    int i = 0;
    for (; i < size - 1; ++i) {
        if (IsBadReadPtr(src + i, 1)) {
            dst[0] = 0;
            return FALSE;
        }
        dst[i] = src[i];
        if (src[i] == 0) return TRUE;
    }
    dst[i] = 0;
    return TRUE;
}

void KitModuleFolder(HMODULE module, LPSTR folder, int size) {
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) path[0] = 0;
    char *slash = strrchr(path, '\\');
    if (slash) slash[1] = 0;
    else path[0] = 0;
    lstrcpynA(folder, path, size);
}
