#pragma once

#include <windows.h>

#include "Runtime/MainThreadTask.h"

// The process-wide runtime: the main-thread task dispatch (a message-only
// window of class "ThreadingWindowClass" that drains the task queue on the
// registered message "com.kadro.MainThreadFired"), the one-second thread
// timer, and the 500 ms transfer timer with the transfer engines.
//
// RuntimeStartup/RuntimeShutdown run on the main thread, around its message
// loop; PostMainThreadTask may be called from any thread.

// The transfer engines live in a library above this one; it plugs them in
// before the first RuntimeStartup. Each function may be null.
struct RuntimeEngineHooks {
  void (*start)() = nullptr;  // create and start the engines
  void (*stop)() = nullptr;   // stop them; waits for their worker threads
  void (*timer)() = nullptr;  // every 500 ms on the main thread
};
void SetRuntimeEngineHooks(const RuntimeEngineHooks& hooks);

// Starts the runtime and returns the id of the one-second thread timer.
[[nodiscard]] UINT_PTR RuntimeStartupCore();
// Stops the one-second timer `timerId` (when not 0), the engines, and the
// dispatch; tasks still queued are released without running.
void RuntimeShutdownCore(UINT_PTR timerId);

// The record the start-up fills and the shut-down clears, for programs
// without an application context of their own (tools, tests). Any record
// with these two fields will do.
struct RuntimeRecord {
  void* owner = nullptr;
  UINT_PTR timerId = 0;
};

// The application's record has an owner pointer and a timer id field.
template <class Record, class Owner>
void RuntimeStartup(Owner* owner, Record& record) {
  record.owner = owner;
  record.timerId = RuntimeStartupCore();
}

template <class Record>
void RuntimeShutdown(Record& record) {
  record.owner = nullptr;
  RuntimeShutdownCore(record.timerId);
  record.timerId = 0;
}

void PostMainThreadTask(MainThreadInvoker invoker, const MainThreadTaskRef& task);
// The invoker every post in the system uses: runs the task.
void InvokeMainThreadTask(MainThreadTaskRef* task);
// Runs queued tasks for up to about 50 ms (main thread).
void RunMainThreadTasks();
// The dispatch window, null while the runtime is down.
[[nodiscard]] HWND MainThreadDispatchWindow();

// Queues a newly allocated task: the poster holds a reference while posting,
// then the queue entry owns the task.
template <class Task>
void PostTask(Task* task) {
  MainThreadTaskRef ref(task);
  PostMainThreadTask(&InvokeMainThreadTask, ref);
}
