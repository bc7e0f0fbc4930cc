// The driver's registration as a 32-bit host sees it: made by the DLL itself (as regsvr32
// does), read back, and removed key by key where the keys are the driver's own.
#pragma once

#include <string>

#include "tool_texts.h"


// Loads the DLL and calls its DllRegisterServer; says what happened. True on success.
bool RegisterDll(const std::string& dllUtf8, const ToolTexts& t);

// Removes the five keys registration writes, in the view a 32-bit host reads, but only
// where the class is registered to ownDll (the same file, by identity) or to no file: the
// registration of another copy is left whole, and said so. Keys that name another
// component or that hold keys of others stay too. 0 when nothing of this copy's
// registration is left, 3 when a key could not be removed.
int UnregisterDriver(const std::string& ownDllUtf8, const ToolTexts& t);

// Whether two paths name the same file: by volume and file index where both exist, else
// by their full long names.
bool SameFile(const std::wstring& a, const std::wstring& b);

// The default value of a key under HKEY_CLASSES_ROOT (32-bit view); false if absent.
bool ReadClassesValue(const std::wstring& key, std::wstring& value);

// Whether the driver's class key exists in the 64-bit registry view, where a 32-bit host
// does not look (false on 32-bit Windows, which has one view).
bool ClassIn64BitView();
