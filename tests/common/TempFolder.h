#pragma once
// A fresh folder under the system's temporary folder, removed with its content.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace kestrelo {

class TempFolder {
 public:
  TempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kestrelo-test-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr)
      throw std::runtime_error("cannot create a temporary folder");
    path_ = tmpl;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace kestrelo
