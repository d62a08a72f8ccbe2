#pragma once

// Log statements come in pairs: every message goes to the file sink with its
// source location and to a second sink. The location is the source path
// relative to src/ (the build maps the prefix away) and the line.

#include "Runtime/ConsoleLogger.h"
#include "Runtime/FileLogger.h"
#include "Runtime/TraceLogger.h"

#define TESSEL_LOG_FILE_PATH _CRT_WIDE(__FILE__)

// File sink and console sink, both located.
#define LOG_CONSOLE(level, format, ...)                                                            \
  do {                                                                                             \
    FileLogger::Instance().LogAt(level, __LINE__, TESSEL_LOG_FILE_PATH, format, ##__VA_ARGS__);    \
    ConsoleLogger::Instance().LogAt(level, __LINE__, TESSEL_LOG_FILE_PATH, format, ##__VA_ARGS__); \
  } while (0)

// As LOG_CONSOLE, for the statements whose console copy words the message
// differently.
#define LOG_CONSOLE2(level, fileFormat, consoleFormat, ...)                               \
  do {                                                                                    \
    FileLogger::Instance().LogAt(level, __LINE__, TESSEL_LOG_FILE_PATH, fileFormat,       \
                                 ##__VA_ARGS__);                                          \
    ConsoleLogger::Instance().LogAt(level, __LINE__, TESSEL_LOG_FILE_PATH, consoleFormat, \
                                    ##__VA_ARGS__);                                       \
  } while (0)

// File sink located, debugger sink without location.
#define LOG_TRACE(level, format, ...)                                                           \
  do {                                                                                          \
    FileLogger::Instance().LogAt(level, __LINE__, TESSEL_LOG_FILE_PATH, format, ##__VA_ARGS__); \
    TraceLogger::Instance().Log(level, format, ##__VA_ARGS__);                                  \
  } while (0)
