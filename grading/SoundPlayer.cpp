#include "grading/SoundPlayer.h"

#include <system_error>

namespace kestrelo {

bool TSoundPlayer::Exists(const std::filesystem::path& file) const {
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec);
}

}  // namespace kestrelo
