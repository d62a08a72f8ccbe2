#pragma once

#include <cstdint>
#include <string>

// What the update module reports to the installer's main window. The slot
// order is fixed: the main window fills every slot, and the module raises
// only OnProgress, OnDownloadComplete and OnUpdateInfo; the reserved slots
// have empty bodies so that other implementers need not write them.
// A result type of 0 is success; otherwise the type names the failing layer
// (1 system, 3 the module itself, 4 HTTP, 5 libcurl) and the code is that
// layer's error number.
//
// Raised on the main thread only. The module does not own its listener, and
// nothing is ever deleted through this interface.
class IGameEventListener {
 public:
  virtual void OnReserved0() {}
  virtual void OnReserved1() {}
  virtual void OnProgress(uint64_t total, uint64_t received, uint64_t bytesPerSecond) = 0;
  virtual void OnDownloadComplete(int32_t resultType, int32_t resultCode,
                                  const std::wstring& text) = 0;
  virtual void OnReserved4() {}
  virtual void OnReserved5() {}
  virtual void OnReserved6() {}
  virtual void OnReserved7() {}
  virtual void OnReserved8() {}
  virtual void OnReserved9() {}
  virtual void OnUpdateInfo(int32_t resultType, int32_t resultCode, const std::wstring& version,
                            const std::wstring& md5) = 0;

 protected:
  IGameEventListener() = default;
  IGameEventListener(const IGameEventListener&) = default;
  IGameEventListener& operator=(const IGameEventListener&) = default;
  ~IGameEventListener() = default;
};
