// What proves that a start is the same instance as the one that held the
// reporter lease before: a random token kept in "velunor.instance" in the
// program directory, made with exclusive creation at the first start. A
// second process on the same program directory while the first runs (the
// file is locked) gets a token of its own for this run only, so it can never
// pass for the first. Single-threaded.
#pragma once

#include <filesystem>
#include <string>

namespace velunor {

inline constexpr const char* kInstanceTokenFileName = "velunor.instance";

class InstanceToken {
 public:
  // Reads or makes the token. When the file cannot be read or written the
  // token is one for this run only and `problem` says why: a restart then
  // waits for its own old lease like any other instance.
  explicit InstanceToken(const std::filesystem::path& program_dir);
  ~InstanceToken();
  InstanceToken(const InstanceToken&) = delete;
  InstanceToken& operator=(const InstanceToken&) = delete;

  const std::string& value() const { return value_; }
  const std::string& problem() const { return problem_; }
  // True while this process holds the file's lock: it is the program
  // directory's one running instance.
  bool held() const { return fd_ >= 0; }

 private:
  std::string value_;
  std::string problem_;
  int fd_ = -1;  // holds the lock while the process runs
};

// A random text of 32 hexadecimal digits from the kernel's random source:
// what tells one process of an instance from another.
std::string RandomNonce();

// The machine's host name ("" when it cannot be read): the default name of
// an instance.
std::string HostName();

}  // namespace velunor
