#pragma once

#include <windows.h>

#include <functional>

// Runs this thread's message loop (where timers and main-thread tasks are
// delivered) until `done` returns true or `limitMs` has passed. Returns
// whether `done` became true.
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs = 10000);
// Runs the message loop for `ms`.
void PumpFor(DWORD ms);
