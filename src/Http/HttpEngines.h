#pragma once

#include "Http/CurlWorkshop.h"
#include "Http/HttpMgr.h"

class CHttpBase;

// The two process-wide engines, each a manager and a worker thread: one for
// in-memory commands, one for file downloads. Created by the runtime
// start-up and destroyed by its shut-down once InstallHttpEngines() has
// plugged them into the runtime. Main thread only.

// Plugs the engines into RuntimeStartup/RuntimeShutdown and the 500 ms
// transfer timer. Call before RuntimeStartup.
void InstallHttpEngines();

void StartHttpEngines();
void StopHttpEngines();
// The transfer timer's work; `now` is the tick count.
void OnHttpTransferTimer(DWORD now);

// Null while the engines are down.
[[nodiscard]] CHttpMgr* CommandManager();
[[nodiscard]] CCurlWorkshop* CommandWorker();
[[nodiscard]] CHttpMgr* DownloadManager();
[[nodiscard]] CCurlWorkshop* DownloadWorker();

// Registers `request` with `manager`. A request still bound to another
// manager is removed from that one instead. False without a manager.
bool SubmitRequest(CHttpMgr* manager, CHttpBase* request);
