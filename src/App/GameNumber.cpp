#include "App/GameNumber.h"

#include <cstdlib>

uint16_t ParseGameNumber(const wchar_t* commandLine) {
  if (commandLine == nullptr || *commandLine == L'\0') return 0;
  return static_cast<uint16_t>(_wtoi(commandLine));
}
