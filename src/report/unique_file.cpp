#include "report/unique_file.hpp"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace kestro::report {

int create_unique_file(const std::string& prefix, std::string* name) {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  // The name only has to be unlikely to exist: O_EXCL makes the creation
  // safe, and a name that is taken is followed by another.
  std::uint64_t state = std::uint64_t(now.tv_nsec) ^ (std::uint64_t(now.tv_sec) << 30) ^
                        (std::uint64_t(getpid()) << 40) ^ reinterpret_cast<std::uintptr_t>(name);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = prefix + ".";
    for (int k = 0; k < 6; ++k) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      candidate += kLetters[(state >> 33) % (sizeof kLetters - 1)];
    }
    const int fd =
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      *name = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

}  // namespace kestro::report
