#pragma once

#include <utility>

#include "Runtime/RefPtr.h"
#include "Runtime/RefThreadSafeBase.h"

// Work handed from any thread to the main thread. Tasks run on the main
// thread, one at a time, in the order their posts took the queue lock.
// A task owns copies of its arguments; a copied CRefPtr keeps its object
// alive until the task is destroyed, which may happen on any thread.
class MainThreadTaskBase : public CRefThreadSafeBase<MainThreadTaskBase> {
 public:
  virtual void Run() = 0;
  virtual ~MainThreadTaskBase() = default;
};

using MainThreadTaskRef = CRefPtr<MainThreadTaskBase>;
// Called on the main thread with the queue entry's task.
using MainThreadInvoker = void (*)(MainThreadTaskRef* task);

// Template parameters come in pairs: the type stored, the type the function
// receives (the same type or a const reference to it).
template <class S1, class R1, class S2, class R2>
class MainThreadTask2 final : public MainThreadTaskBase {
 public:
  using Function = void (*)(R1, R2);
  MainThreadTask2(Function function, S1 a1, S2 a2)
      : function_(function), a1_(std::move(a1)), a2_(std::move(a2)) {}
  void Run() override { function_(a1_, a2_); }

 private:
  Function function_;
  S1 a1_;
  S2 a2_;
};

template <class S1, class R1, class S2, class R2, class S3, class R3>
class MainThreadTask3 final : public MainThreadTaskBase {
 public:
  using Function = void (*)(R1, R2, R3);
  MainThreadTask3(Function function, S1 a1, S2 a2, S3 a3)
      : function_(function), a1_(std::move(a1)), a2_(std::move(a2)), a3_(std::move(a3)) {}
  void Run() override { function_(a1_, a2_, a3_); }

 private:
  Function function_;
  S1 a1_;
  S2 a2_;
  S3 a3_;
};

template <class S1, class R1, class S2, class R2, class S3, class R3, class S4, class R4>
class MainThreadTask4 final : public MainThreadTaskBase {
 public:
  using Function = void (*)(R1, R2, R3, R4);
  MainThreadTask4(Function function, S1 a1, S2 a2, S3 a3, S4 a4)
      : function_(function),
        a1_(std::move(a1)),
        a2_(std::move(a2)),
        a3_(std::move(a3)),
        a4_(std::move(a4)) {}
  void Run() override { function_(a1_, a2_, a3_, a4_); }

 private:
  Function function_;
  S1 a1_;
  S2 a2_;
  S3 a3_;
  S4 a4_;
};
