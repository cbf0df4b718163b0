// Thin wrappers over Windows global memory, the currency of everything handed across the TWAIN
// boundary, and a lock guard that unlocks on every path.
#pragma once

#include <windows.h>

inline HGLOBAL AllocHandle(SIZE_T bytes) { return GlobalAlloc(GMEM_MOVEABLE, bytes); }
inline void *LockHandle(HGLOBAL handle) { return GlobalLock(handle); }
inline BOOL UnlockHandle(HGLOBAL handle) { return GlobalUnlock(handle); }

// Locks a block for the guard's lifetime. data() is null when the handle is null or not a
// global-memory block of this process; size() is the block's size then, 0 otherwise.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL handle) : handle_(handle) {
        if (!handle_) return;
        data_ = GlobalLock(handle_);
        if (data_) size_ = GlobalSize(handle_);
    }
    ~GlobalLockGuard() {
        if (data_) GlobalUnlock(handle_);
    }
    GlobalLockGuard(const GlobalLockGuard &) = delete;
    GlobalLockGuard &operator=(const GlobalLockGuard &) = delete;

    void *data() const { return data_; }
    template <class T>
    T *as() const {
        return static_cast<T *>(data_);
    }
    SIZE_T size() const { return size_; }

private:
    HGLOBAL handle_;
    void *data_ = nullptr;
    SIZE_T size_ = 0;
};
