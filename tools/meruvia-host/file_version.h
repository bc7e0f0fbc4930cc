// The version in a file's version resource.
#pragma once

#include <string>

// "60.1.1.10", or empty when the file has no version resource.
std::string FileVersion(const std::wstring& path);
