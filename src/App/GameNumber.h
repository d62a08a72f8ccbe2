#pragma once

#include <cstdint>

// The game number of a command line, read as _wtoi reads it (leading white
// space and a sign allowed, stops at the first non-digit, 0 without a
// number) and kept to its low 16 bits. A null line gives 0.
[[nodiscard]] uint16_t ParseGameNumber(const wchar_t* commandLine);
