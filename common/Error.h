#pragma once
// Misuse and unreadable input are exceptions; results of the analysis are
// values. An error names the file it is about where there is one.
#include <stdexcept>
#include <string>

namespace kestrelo {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file that cannot be read or written, or whose content is not what it must be.
class FileError : public Error {
 public:
  FileError(const std::string& path, const std::string& what)
      : Error(path.empty() ? what : path + ": " + what), path_(path) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kestrelo
