#pragma once
// Sole owner of one Windows handle: closes it when it goes out of scope.

#include <windows.h>

struct Handle {
    HANDLE value = nullptr;

    Handle() = default;
    explicit Handle(HANDLE h) : value(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }

    // Closes the handle now; NULL and INVALID_HANDLE_VALUE hold nothing.
    void reset() {
        if (value && value != INVALID_HANDLE_VALUE) CloseHandle(value);
        value = nullptr;
    }
    // Hands the handle to a new owner.
    HANDLE release() {
        HANDLE h = value;
        value = nullptr;
        return h;
    }
};
