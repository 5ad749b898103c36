#include "file_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include <fmt/format.h>

namespace qelpkg {
namespace {

tl::unexpected<Failure> os_failure(const std::string& path, std::string_view action, int error) {
  return tl::unexpected(Failure{path, std::string(action) + ": " + std::strerror(error)});
}

// Closes the descriptor when it goes out of scope, unless released.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Writes all of bytes, retrying short writes; 0 or the errno of the failure.
int write_all(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return 0;
}

// The mode a newly created file gets, as for any file the user creates.
mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

Outcome<std::vector<std::uint8_t>> read_file(const std::string& path) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    return os_failure(path, "cannot open", errno);
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) {
    return os_failure(path, "cannot read", errno);
  }
  // Room for a regular file's whole content and one more byte, so that reading it ends
  // without growing; other files grow as they are read.
  std::vector<std::uint8_t> bytes(
      S_ISREG(status.st_mode) ? static_cast<std::size_t>(status.st_size) + 1 : 64 * 1024);
  std::size_t size = 0;
  for (;;) {
    if (bytes.size() == size) {
      bytes.resize(2 * size);
    }
    const ssize_t got = ::read(fd.get(), bytes.data() + size, bytes.size() - size);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return os_failure(path, "cannot read", errno);
    }
    if (got == 0) {
      break;
    }
    size += static_cast<std::size_t>(got);
  }
  bytes.resize(size);
  return bytes;
}

Outcome<void> write_file_atomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::filesystem::path target(path);
  const std::filesystem::path directory =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::string temporary =
      (directory / fmt::format(".{}.XXXXXX", target.filename().string())).string();

  Descriptor fd(::mkstemp(temporary.data()));
  if (fd.get() < 0) {
    return os_failure(path, "cannot create", errno);
  }
  int error = 0;
  if (::fchmod(fd.get(), new_file_mode()) != 0) {
    error = errno;
  }
  if (error == 0) {
    error = write_all(fd.get(), bytes);
  }
  if (error == 0 && ::fsync(fd.get()) != 0) {
    error = errno;
  }
  if (error == 0 && ::close(fd.release()) != 0) {
    error = errno;
  }
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlink(temporary.c_str());
    return os_failure(path, "cannot write", error);
  }
  return {};
}

Outcome<void> write_stdout(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    return os_failure("stdout", "cannot write", errno);
  }
  return {};
}

}  // namespace qelpkg
