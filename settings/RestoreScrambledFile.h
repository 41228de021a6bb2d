#pragma once
// Some data files ship in a scrambled form: byte pairs near the two ends
// swapped, then the 4-byte trailer "ZOLT" appended. The program restores such
// a file in place the first time it starts; later starts find no trailer and
// leave the file alone.
#include <filesystem>
#include <string>
#include <string_view>

namespace kestrelo {

inline constexpr std::string_view kScrambleTrailer = "ZOLT";

// Restores scrambled bytes in memory. Returns false, leaving the bytes as they
// are, when they do not end in the trailer.
bool RestoreBytes(std::string& bytes);

// Turns plain bytes into the stored form. Throws Error when the plain bytes
// themselves end in the trailer: the program would restore them a second time
// at its next start and corrupt them.
void ScrambleBytes(std::string& bytes);

// Restores the file if it is in the stored form and returns whether it
// changed. The restored bytes replace the file atomically, so an interruption
// leaves either the stored or the restored form. Throws FileError when the
// file cannot be read or replaced.
bool RestoreScrambledFile(const std::filesystem::path& path);

}  // namespace kestrelo
