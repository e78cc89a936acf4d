#include "registry.h"

#include "platform.h"

#include <cstring>

namespace {

const DWORD kValueBufferSize = 2048;

// Closes the key on every path out of the lookup.
struct KeyOwner {
    HKEY key = nullptr;
    ~KeyOwner() {
        if (key) RegCloseKey(key);
    }
};

}  // namespace

DWORD regStringFromBytes(DWORD type, const char* data, DWORD size, std::string& out) {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
    if (size == 0) {
        out.clear();
        return ERROR_SUCCESS;
    }
    if (data[size - 1] != '\0') return ERROR_INVALID_DATA;
    out.assign(data, strlen(data));
    return ERROR_SUCCESS;
}

DWORD getRegValue(const std::string& keyPath, const std::string& valueName, std::string& out,
                  bool use64BitView) {
    const REGSAM access = KEY_READ | (use64BitView ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
    KeyOwner owner;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, access, &owner.key);
    if (status != ERROR_SUCCESS) {
        owner.key = nullptr;
        return static_cast<DWORD>(status);
    }
    char buffer[kValueBufferSize] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer;
    status = RegQueryValueExA(owner.key, valueName.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer), &size);
    if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
    return regStringFromBytes(type, buffer, size, out);
}
