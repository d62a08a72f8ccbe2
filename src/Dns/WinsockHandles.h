#pragma once

#include <winsock2.h>
#include <windows.h>

#include "Runtime/ScopedHandle.h"

// Owners for the Winsock handles of the resolver and of test servers. They
// must be reset before the WSACleanup that matches their WSAStartup.

struct SocketTraits {
  using Handle = SOCKET;
  static Handle Invalid() { return INVALID_SOCKET; }
  static void Close(Handle h) { ::closesocket(h); }
};
using ScopedSocket = ScopedHandle<SocketTraits>;

struct WsaEventTraits {
  using Handle = WSAEVENT;
  static Handle Invalid() { return WSA_INVALID_EVENT; }
  static void Close(Handle h) { ::WSACloseEvent(h); }
};
using ScopedWsaEvent = ScopedHandle<WsaEventTraits>;
