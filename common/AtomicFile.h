#pragma once
// Files we write never end half-written: the bytes go to a temporary file in
// the same folder, are flushed, and the temporary file is renamed over the
// target. A failure leaves the old file as it was and throws FileError.
#include <filesystem>
#include <string>
#include <string_view>

namespace kestrelo {

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The whole file; throws FileError when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace kestrelo
