// A FIFO for tests of code that must never wait on one, and a watchdog that turns such a
// wait into a test failure instead of a hung test run.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

inline bool MakeFifo(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0666) == 0; }

// Unless Stop() comes first, opens the FIFO's other end after `patience`: that releases a
// reader that is stuck opening it, and Fired() then tells that one was. A test that passes
// never waits for it.
class TFifoWatchdog {
 public:
  explicit TFifoWatchdog(std::filesystem::path fifo, std::chrono::seconds patience = std::chrono::seconds(10))
      : FFifo(std::move(fifo)), FThread([this, patience] { Watch(patience); }) {}
  ~TFifoWatchdog() { Stop(); }

  void Stop() {
    {
      std::lock_guard lock(FMutex);
      FStopped = true;
    }
    FWake.notify_all();
    if (FThread.joinable()) FThread.join();
  }
  bool Fired() {
    Stop();
    return FFired;
  }

 private:
  void Watch(std::chrono::seconds patience) {
    std::unique_lock lock(FMutex);
    if (FWake.wait_for(lock, patience, [this] { return FStopped; })) return;
    // Opening for writing without waiting succeeds only while someone is opening it to read.
    const int fd = ::open(FFifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      FFired = true;
      ::close(fd);
    }
  }

  std::filesystem::path FFifo;
  std::mutex FMutex;
  std::condition_variable FWake;
  bool FStopped = false;
  bool FFired = false;
  std::thread FThread;
};
