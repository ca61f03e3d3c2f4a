// A fresh folder for a test, removed afterwards; and running code without write access to it.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

struct TTempFolder {
  TTempFolder() {
    std::string name = (std::filesystem::temp_directory_path() / "taktola-test-XXXXXX").string();
    path = mkdtemp(name.data());
  }
  ~TTempFolder() {
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path, ec);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  std::filesystem::path path;
};

// Runs `body` where the folder cannot be written, and returns what it returned. Root may
// write anywhere, so as root it runs in a child process as the unprivileged user "nobody".
inline int RunWithoutWriteAccess(const std::filesystem::path& folder, const std::function<int()>& body) {
  ::chmod(folder.c_str(), 0555);
  int result = -1;
  if (::geteuid() != 0) {
    result = body();
  } else if (const pid_t child = ::fork(); child == 0) {
    _exit(::setgid(65534) == 0 && ::setuid(65534) == 0 ? body() : 99);
  } else {
    int status = 0;
    ::waitpid(child, &status, 0);
    result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ::chmod(folder.c_str(), 0755);
  return result;
}
