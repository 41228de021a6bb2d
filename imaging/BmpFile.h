#pragma once
// BMP files: read in every common form (1, 4, 8 bits with palette, 16, 24 and
// 32 bits; bottom-up and top-down; BI_RGB and BI_BITFIELDS) into a 24-bit
// picture; written as 24-bit bottom-up BI_RGB. Hostile or truncated files are
// refused with a FileError naming the file and the fault.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "imaging/Picture.h"

namespace kestrelo {

// `name` only labels errors.
Picture DecodeBmp(std::span<const std::uint8_t> bytes, const std::string& name = "BMP data");
Picture ReadBmp(const std::filesystem::path& path);

std::vector<std::uint8_t> EncodeBmp(const Picture& picture);
// Written to a temporary file beside the target, then renamed over it.
void WriteBmp(const Picture& picture, const std::filesystem::path& path);

}  // namespace kestrelo
