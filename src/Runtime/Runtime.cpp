#include "Runtime/Runtime.h"

#include "Runtime/MainThreadQueue.h"
#include "Runtime/RuntimeClock.h"
#include "Runtime/ScopedHandle.h"
#include "Runtime/ThreadChecker.h"

namespace {

constexpr UINT_PTR kOneSecondTimer = 508;
constexpr UINT_PTR kTransferTimer = 100;
constexpr wchar_t kWindowClass[] = L"ThreadingWindowClass";

// Main-thread state. The dispatch window handle is read by posting threads,
// hence atomic; everything else belongs to the main thread.
struct Dispatch {
  ScopedWindow window;
  std::atomic<HWND> windowForPosting{nullptr};
  std::atomic<UINT> wakeMessage{0};
  bool classRegistered = false;
  UINT_PTR transferTimer = 0;
  bool enginesRunning = false;
  RuntimeEngineHooks hooks;
  CThreadChecker mainThread;
};

Dispatch& State() {
  static Dispatch state;
  return state;
}

CMainThreadQueue& Queue() {
  static CMainThreadQueue queue(
      [] {
        HWND window = State().windowForPosting.load();
        return window != nullptr && ::PostMessageW(window, State().wakeMessage.load(), 0, 0) != 0;
      },
      [] { return RuntimeClock(); });
  return queue;
}

// Also drains a queue whose wake-up message could not be posted.
void CALLBACK OneSecondTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (!Queue().Empty()) Queue().RunTasks();
}

void CALLBACK TransferTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (State().hooks.timer != nullptr) State().hooks.timer();
}

LRESULT CALLBACK DispatchWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != 0 && message == State().wakeMessage.load()) {
    RunMainThreadTasks();
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void SetRuntimeEngineHooks(const RuntimeEngineHooks& hooks) {
  State().hooks = hooks;
}

UINT_PTR RuntimeStartupCore() {
  Dispatch& state = State();
  state.mainThread.Rebind();
  // A thread timer ignores the id asked for; the returned id is the one to
  // kill.
  UINT_PTR timerId = ::SetTimer(nullptr, kOneSecondTimer, 1000, &OneSecondTimer);

  Queue();  // created before any worker can post
  if (!state.classRegistered) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &DispatchWindowProc;
    wc.lpszClassName = kWindowClass;
    state.classRegistered =
        ::RegisterClassW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    state.wakeMessage = ::RegisterWindowMessageW(L"com.kadro.MainThreadFired");
  }
  // Recreated after a shut-down, so a second start-up dispatches again.
  if (!state.window) {
    state.window.reset(::CreateWindowExW(0, kWindowClass, nullptr, 0, CW_USEDEFAULT, 0,
                                         CW_USEDEFAULT, 0, HWND_MESSAGE, nullptr, nullptr,
                                         nullptr));
    state.windowForPosting = state.window.get();
  }

  if (!state.enginesRunning) {
    state.transferTimer = ::SetTimer(nullptr, kTransferTimer, 500, &TransferTimer);
    state.enginesRunning = true;
    if (state.hooks.start != nullptr) state.hooks.start();
  }
  return timerId;
}

void RuntimeShutdownCore(UINT_PTR timerId) {
  Dispatch& state = State();
  DCHECK_ON_THREAD(state.mainThread);
  if (timerId != 0) ::KillTimer(nullptr, timerId);

  // The engines go first: their worker threads post tasks until they have
  // stopped, and a task posted after the queue was dropped would never run
  // nor be released.
  if (state.enginesRunning) {
    if (state.hooks.stop != nullptr) state.hooks.stop();
    if (state.transferTimer != 0) ::KillTimer(nullptr, state.transferTimer);
    state.transferTimer = 0;
    state.enginesRunning = false;
  }

  state.windowForPosting = nullptr;
  Queue().DropAll();
  state.window.reset();
}

void PostMainThreadTask(MainThreadInvoker invoker, const MainThreadTaskRef& task) {
  Queue().Post(invoker, task);
}

void InvokeMainThreadTask(MainThreadTaskRef* task) {
  (*task)->Run();
}

void RunMainThreadTasks() {
  DCHECK_ON_THREAD(State().mainThread);
  Queue().RunTasks();
}

HWND MainThreadDispatchWindow() {
  return State().windowForPosting.load();
}
