#include "file_io.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>

#include "message_framing.hpp"

namespace qelpkg {
namespace {

tl::unexpected<Failure> os_failure(const std::string& path, std::string_view action, int error) {
  return tl::unexpected(Failure{path, std::string(action) + ": " + std::strerror(error)});
}

// Closes the descriptor when it goes out of scope, unless released.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
  Descriptor& operator=(Descriptor&&) = delete;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ > STDERR_FILENO) {
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

// Reads into bytes from its current size until it holds limit bytes or the input ends. Grows
// only as far as data arrives, so a stream that claims much and sends little costs little.
int read_up_to(int fd, std::vector<std::uint8_t>& bytes, std::uint64_t limit, bool& ended) {
  constexpr std::size_t CHUNK = 64 * 1024;
  while (bytes.size() < limit) {
    const std::size_t size = bytes.size();
    const std::uint64_t room = std::min<std::uint64_t>(limit - size, std::max(size, CHUNK));
    bytes.resize(size + room);
    ssize_t got;
    do {
      got = ::read(fd, bytes.data() + size, room);
    } while (got < 0 && errno == EINTR);
    bytes.resize(size + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    if (got < 0) {
      return errno;
    }
    if (got == 0) {
      ended = true;
      return 0;
    }
  }
  return 0;
}

struct Opened {
  Descriptor fd;
  struct stat status;
};

Outcome<Opened> open_input(const std::string& path) {
  Descriptor fd(path == STANDARD_STREAM ? STDIN_FILENO
                                        : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) {
    return os_failure(path, "cannot open", errno);
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) {
    return os_failure(path, "cannot read", errno);
  }
  if (S_ISDIR(status.st_mode)) {
    return os_failure(path, "cannot read", EISDIR);
  }
  return Opened{std::move(fd), status};
}

// Maps a regular file; nothing is read until the pages are touched.
Outcome<Input> map_file(const std::string& path, const Opened& opened) {
  const auto size = static_cast<std::size_t>(opened.status.st_size);
  if (size == 0) {
    return Input::read({}, true);
  }
  void* address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, opened.fd.get(), 0);
  if (address == MAP_FAILED) {
    return os_failure(path, "cannot read", errno);
  }
  return Input::mapped(address, size);
}

Outcome<Input> read_stream(const std::string& path, const Opened& opened, bool framed) {
  std::vector<std::uint8_t> bytes;
  bool ended = false;
  try {
    if (framed) {
      // Each round learns more of the framing; it ends once the message is complete.
      for (std::uint64_t needed = framed_message_bytes(bytes); bytes.size() < needed && !ended;
           needed = framed_message_bytes(bytes)) {
        if (const int error = read_up_to(opened.fd.get(), bytes, needed, ended); error != 0) {
          return os_failure(path, "cannot read", error);
        }
      }
    } else if (const int error = read_up_to(opened.fd.get(), bytes, UINT64_MAX, ended);
               error != 0) {
      return os_failure(path, "cannot read", error);
    }
  } catch (const std::bad_alloc&) {
    return os_failure(path, "cannot read", ENOMEM);
  }
  return Input::read(std::move(bytes), ended);
}

Outcome<Input> read_input(const std::string& path, bool framed) {
  auto opened = open_input(path);
  if (!opened) {
    return tl::unexpected(std::move(opened).error());
  }
  if (S_ISREG(opened->status.st_mode)) {
    return map_file(path, *opened);
  }
  return read_stream(path, *opened, framed);
}

// The temporary file of the output being written, for the signal handler. Signals are
// blocked while it changes.
char cleanup_path[PATH_MAX];
volatile sig_atomic_t cleanup_armed = 0;

constexpr int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

extern "C" void remove_temporary_and_die(int signal) {
  if (cleanup_armed) {
    ::unlink(cleanup_path);
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Blocks the cleanup signals for its lifetime, so that the handler never sees a half-set path.
class SignalsBlocked {
 public:
  SignalsBlocked() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : CLEANUP_SIGNALS) {
      sigaddset(&set, signal);
    }
    ::sigprocmask(SIG_BLOCK, &set, &previous_);
  }
  SignalsBlocked(const SignalsBlocked&) = delete;
  SignalsBlocked& operator=(const SignalsBlocked&) = delete;
  ~SignalsBlocked() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

// Where the bytes for path finally go: path itself, or the file a symbolic link leads to, so
// that the link stays a link.
Outcome<std::string> final_target(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
    return path;
  }
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) {
    return os_failure(path, "cannot follow symbolic link", errno);
  }
  return std::string(resolved);
}

// The mode of a new file, as for any file the user creates.
mode_t new_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

Outcome<void> replace_file(const std::string& path, std::span<const std::uint8_t> bytes) {
  const auto target = final_target(path);
  if (!target) {
    return tl::unexpected(target.error());
  }
  struct stat existing {};
  const bool exists = ::stat(target->c_str(), &existing) == 0;
  const std::filesystem::path directory = std::filesystem::path(*target).parent_path();
  // A short name, so that it fits wherever the target's name fits.
  const std::string temporary =
      (directory.empty() ? std::filesystem::path(".qelpkg-XXXXXX") : directory / ".qelpkg-XXXXXX")
          .string();
  if (temporary.size() >= sizeof cleanup_path) {
    return os_failure(path, "cannot create", ENAMETOOLONG);
  }
  int fd;
  {
    SignalsBlocked blocked;
    std::memcpy(cleanup_path, temporary.c_str(), temporary.size() + 1);
    fd = ::mkostemp(cleanup_path, O_CLOEXEC);
    if (fd < 0) {
      return os_failure(path, "cannot create", errno);
    }
    cleanup_armed = 1;
  }
  Descriptor file(fd);
  int error = 0;
  if (::fchmod(file.get(), exists ? existing.st_mode & 07777 : new_file_mode()) != 0) {
    error = errno;
  }
  if (exists && error == 0) {
    // Keeping the owner needs privileges a user seldom has; the mode is what matters.
    static_cast<void>(::fchown(file.get(), existing.st_uid, existing.st_gid));
  }
  if (error == 0) {
    error = write_all(file.get(), bytes);
  }
  if (error == 0 && ::fsync(file.get()) != 0) {
    error = errno;
  }
  if (error == 0 && ::close(file.release()) != 0) {
    error = errno;
  }
  SignalsBlocked blocked;
  if (error == 0 && ::rename(cleanup_path, target->c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlink(cleanup_path);
  }
  cleanup_armed = 0;
  if (error != 0) {
    return os_failure(path, "cannot write", error);
  }
  return {};
}

// A device, a FIFO or standard output takes the bytes as they come.
Outcome<void> write_in_place(const std::string& path, int fd, std::span<const std::uint8_t> bytes) {
  if (const int error = write_all(fd, bytes); error != 0) {
    return os_failure(path, "cannot write", error);
  }
  return {};
}

}  // namespace

Input Input::mapped(void* address, std::size_t size) {
  Input input;
  input.mapping_ = address;
  input.bytes_ = {static_cast<const std::uint8_t*>(address), size};
  return input;
}

Input Input::read(std::vector<std::uint8_t> bytes, bool whole) {
  Input input;
  input.read_ = std::move(bytes);
  input.bytes_ = input.read_;
  input.whole_ = whole;
  return input;
}

Input::Input(Input&& other) noexcept
    : bytes_(std::exchange(other.bytes_, {})),
      mapping_(std::exchange(other.mapping_, nullptr)),
      read_(std::move(other.read_)),
      whole_(other.whole_) {
  if (mapping_ == nullptr) {
    bytes_ = read_;
  }
}

Input::~Input() {
  if (mapping_ != nullptr) {
    ::munmap(mapping_, bytes_.size());
  }
}

Outcome<Input> read_message_input(const std::string& path) { return read_input(path, true); }

Outcome<Input> read_whole_input(const std::string& path) { return read_input(path, false); }

Outcome<void> write_output(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path == STANDARD_STREAM) {
    return write_in_place("stdout", STDOUT_FILENO, bytes);
  }
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    if (S_ISDIR(status.st_mode)) {
      return os_failure(path, "cannot write", EISDIR);
    }
    Descriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
      return os_failure(path, "cannot open", errno);
    }
    return write_in_place(path, fd.get(), bytes);
  }
  return replace_file(path, bytes);
}

void StdoutWriter::append(std::string_view text) {
  constexpr std::size_t BLOCK = 1 << 20;
  buffer_.append(text);
  if (buffer_.size() >= BLOCK && error_ == 0) {
    error_ = write_all(STDOUT_FILENO,
                       {reinterpret_cast<const std::uint8_t*>(buffer_.data()), buffer_.size()});
    buffer_.clear();
  }
}

Outcome<void> StdoutWriter::finish() {
  if (error_ == 0) {
    error_ = write_all(STDOUT_FILENO,
                       {reinterpret_cast<const std::uint8_t*>(buffer_.data()), buffer_.size()});
  }
  buffer_.clear();
  if (error_ != 0) {
    return os_failure("stdout", "cannot write", error_);
  }
  return {};
}

Outcome<void> write_stdout(std::string_view text) {
  StdoutWriter out;
  out.append(text);
  return out.finish();
}

void write_stderr(std::string_view text) noexcept {
  static_cast<void>(
      write_all(STDERR_FILENO, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}));
}

void install_signal_cleanup() {
  struct sigaction action {};
  action.sa_handler = remove_temporary_and_die;
  sigemptyset(&action.sa_mask);
  for (const int signal : CLEANUP_SIGNALS) {
    // A signal the caller chose to ignore (nohup, a background job) stays ignored.
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
      ::sigaction(signal, &action, nullptr);
    }
  }
}

}  // namespace qelpkg
