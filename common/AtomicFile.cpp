#include "common/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "common/Error.h"

namespace kestrelo {
namespace {

std::string SystemReason() { return std::strerror(errno); }

}  // namespace

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
  const std::string target = path.string();
  std::string tmpl = target + ".tmp-XXXXXX";
  const int fd = mkstemp(tmpl.data());
  if (fd < 0) throw FileError(target, "cannot create a temporary file: " + SystemReason());

  const auto fail = [&](const std::string& what) {
    const std::string reason = what + ": " + SystemReason();
    close(fd);
    unlink(tmpl.c_str());
    throw FileError(target, reason);
  };

  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write");
    }
    done += static_cast<std::size_t>(n);
  }
  if (fchmod(fd, 0644) != 0) fail("cannot set permissions");
  if (fsync(fd) != 0) fail("cannot flush");
  if (close(fd) != 0) {
    const std::string reason = "cannot close: " + SystemReason();
    unlink(tmpl.c_str());
    throw FileError(target, reason);
  }
  if (std::rename(tmpl.c_str(), target.c_str()) != 0) {
    const std::string reason = "cannot replace: " + SystemReason();
    unlink(tmpl.c_str());
    throw FileError(target, reason);
  }
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw FileError(path.string(), "is a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(path.string(), "cannot open: " + SystemReason());
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError(path.string(), "cannot read");
  return bytes;
}

}  // namespace kestrelo
