// Any byte string is either decoded or refused with an Error; whatever decodes
// must encode and read back to the same picture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "common/Error.h"
#include "imaging/BmpFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const kestrelo::Picture picture = kestrelo::DecodeBmp(std::span(data, size), "fuzz.bmp");
    const std::vector<std::uint8_t> bytes = kestrelo::EncodeBmp(picture);
    if (!(kestrelo::DecodeBmp(bytes, "re-encoded.bmp") == picture)) std::abort();
  } catch (const kestrelo::Error&) {
  }
  return 0;
}
