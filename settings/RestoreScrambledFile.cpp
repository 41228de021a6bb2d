#include "settings/RestoreScrambledFile.h"

#include <algorithm>
#include <cstddef>
#include <ios>
#include <utility>

#include "common/AtomicFile.h"
#include "common/Error.h"

namespace kestrelo {
namespace {

constexpr std::size_t kMaxSwapOffset = 2000;

bool EndsInTrailer(std::string_view bytes) { return bytes.ends_with(kScrambleTrailer); }

// Swaps offset i with offset size - i for i = 1, 4, 7, ... up to the middle
// (at most 2000). Every source lies in the first half and every partner in the
// second, so the pairs never overlap and the same call undoes itself.
void SwapPairs(std::string& bytes) {
  const std::size_t size = bytes.size();
  if (size == 0) return;  // (size - 1) would wrap round
  const std::size_t last = std::min((size - 1) / 2, kMaxSwapOffset);
  for (std::size_t i = 1; i <= last; i += 3) std::swap(bytes[i], bytes[size - i]);
}

// A folder, or a file that fails mid-read, gets past the open and then makes
// the stream throw its own exception type; callers expect FileError.
std::string ReadStoredFile(const std::filesystem::path& path) {
  try {
    return ReadWholeFile(path);
  } catch (const std::ios_base::failure& e) {
    throw FileError(path.string(), "cannot read: " + e.code().message());
  }
}

}  // namespace

bool RestoreBytes(std::string& bytes) {
  if (!EndsInTrailer(bytes)) return false;
  bytes.resize(bytes.size() - kScrambleTrailer.size());
  SwapPairs(bytes);
  return true;
}

void ScrambleBytes(std::string& bytes) {
  if (EndsInTrailer(bytes)) {
    throw Error("data ending in \"ZOLT\" cannot be stored scrambled: it would be restored twice");
  }
  SwapPairs(bytes);
  bytes.append(kScrambleTrailer);
}

bool RestoreScrambledFile(const std::filesystem::path& path) {
  std::string bytes = ReadStoredFile(path);
  if (!RestoreBytes(bytes)) return false;
  WriteFileAtomically(path, bytes);
  return true;
}

}  // namespace kestrelo
