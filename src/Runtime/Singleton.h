#pragma once

// Supplies the process-wide instance of T: created on first use (thread-safe
// since C++11 function-local statics) and destroyed at process exit.
template <class T>
class CSingleton {
 public:
  static T& Instance() {
    static T instance;
    return instance;
  }

 protected:
  CSingleton() = default;
  ~CSingleton() = default;
};
