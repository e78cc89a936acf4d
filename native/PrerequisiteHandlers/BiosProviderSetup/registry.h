#pragma once
// Reading one string value under HKEY_LOCAL_MACHINE.

#include <windows.h>

#include <string>

// Reads HKLM\keyPath\valueName (REG_SZ or REG_EXPAND_SZ, taken literally, at most 2048 bytes
// with its NUL) from the 64-bit or the 32-bit registry view. Returns 0 and replaces `out`,
// or returns a Windows error code and leaves `out` as it was.
DWORD getRegValue(const std::string& keyPath, const std::string& valueName, std::string& out,
                  bool use64BitView);

// Checks the bytes a query returned: a string type (else 13) that ends with its NUL (else 13),
// or no bytes at all. Returns 0 and sets `out` to the text up to the first NUL.
DWORD regStringFromBytes(DWORD type, const char* data, DWORD size, std::string& out);
