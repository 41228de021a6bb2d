#pragma once
// The folder the program's data lives in ("Score", "名册", "Recent", ...).
// It is given, never taken from the current directory, so tests and a moved
// installation work alike.
#include <filesystem>
#include <string_view>
#include <system_error>

#include "common/Error.h"

namespace kestrelo {

class ProgramFolder {
 public:
  explicit ProgramFolder(std::filesystem::path root) : root_(std::move(root)) {}

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path Score() const { return root_ / "Score"; }
  std::filesystem::path Roster() const { return root_ / "名册"; }
  std::filesystem::path Recent() const { return root_ / "Recent"; }

  // Creates the folder if needed and returns it; FileError when it cannot.
  static std::filesystem::path Ensure(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder)) {
      throw FileError(folder.string(),
                      "cannot create the folder" + (ec ? ": " + ec.message() : std::string()));
    }
    return folder;
  }

 private:
  std::filesystem::path root_;
};

}  // namespace kestrelo
