#include "Http/HttpEngines.h"

#include <curl/curl.h>

#include <memory>

#include "Http/HttpBase.h"
#include "Runtime/Runtime.h"

namespace {

struct Engine {
  std::unique_ptr<CCurlWorkshop> worker;
  std::unique_ptr<CHttpMgr> manager;
};

struct Engines {
  Engine command;
  Engine download;
  uint32_t timerTick = 0;
  bool curlInitialised = false;
};

Engines& State() {
  static Engines engines;
  return engines;
}

void StartEngine(Engine& engine) {
  if (!engine.worker) {
    engine.worker = std::make_unique<CCurlWorkshop>();
    engine.worker->Init();
    engine.worker->StartThread();
  }
  if (!engine.manager) engine.manager = std::make_unique<CHttpMgr>();
}

void StopEngine(Engine& engine) {
  if (engine.worker) {
    engine.worker->StopThread(INFINITE);
    engine.worker->Uninit();
    engine.worker.reset();
  }
  if (engine.manager) {
    engine.manager->Clear();
    engine.manager.reset();
  }
}

void TimerHook() {
  OnHttpTransferTimer(::GetTickCount());
}

}  // namespace

void InstallHttpEngines() {
  RuntimeEngineHooks hooks;
  hooks.start = &StartHttpEngines;
  hooks.stop = &StopHttpEngines;
  hooks.timer = &TimerHook;
  SetRuntimeEngineHooks(hooks);
}

void StartHttpEngines() {
  Engines& state = State();
  if (!state.curlInitialised) {
    // Before any worker exists: curl_global_init is not thread-safe.
    curl_global_init(CURL_GLOBAL_ALL);
    state.curlInitialised = true;
  }
  StartEngine(state.command);
  StartEngine(state.download);
}

void StopHttpEngines() {
  Engines& state = State();
  StopEngine(state.command);
  StopEngine(state.download);
  if (state.curlInitialised) {
    curl_global_cleanup();
    state.curlInitialised = false;
  }
}

void OnHttpTransferTimer(DWORD now) {
  Engines& state = State();
  if ((state.timerTick & 1) == 0 && state.download.manager) state.download.manager->TickRunning();
  if (state.download.manager) state.download.manager->EndRetryWaits(now);
  if (state.command.manager) state.command.manager->EndRetryWaits(now);
  ++state.timerTick;
}

CHttpMgr* CommandManager() {
  return State().command.manager.get();
}
CCurlWorkshop* CommandWorker() {
  return State().command.worker.get();
}
CHttpMgr* DownloadManager() {
  return State().download.manager.get();
}
CCurlWorkshop* DownloadWorker() {
  return State().download.worker.get();
}

bool SubmitRequest(CHttpMgr* manager, CHttpBase* request) {
  if (request->Manager() != nullptr && request->Manager() != manager) {
    return request->Manager()->Remove(request);
  }
  if (manager == nullptr) return false;
  request->SetManager(manager);
  manager->Add(request);
  return true;
}
