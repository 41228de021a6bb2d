#include "common/GbkText.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

#include "common/Error.h"

namespace kestrelo {
namespace {

// Code page 936 as the system's own text files use it (0x80 is the euro sign).
constexpr const char* kGbkName = "CP936";

// One conversion handle per direction and thread: iconv handles keep state
// and must not be shared between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw Error(std::string("text conversion from ") + from + " to " + to + " is not available");
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much as it can; returns errno of the stop (0 when all went).
  int Convert(std::string_view in, std::string& out, std::size_t& consumed) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[512];
    int err = 0;
    while (srcLeft > 0) {
      char* dst = buf;
      std::size_t dstLeft = sizeof buf;
      const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      // Taken before the append: a growing string may call malloc, which is
      // free to change errno even when it succeeds.
      const int stop = r == static_cast<std::size_t>(-1) ? errno : 0;
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (stop == E2BIG) continue;
      if (stop != 0) {
        err = stop;
        break;
      }
    }
    consumed = in.size() - srcLeft;
    return err;
  }

 private:
  iconv_t cd_;
};

Converter& ToGbk() {
  thread_local Converter c(kGbkName, "UTF-8");
  return c;
}
Converter& FromGbk() {
  thread_local Converter c("UTF-8", kGbkName);
  return c;
}

// Length of the UTF-8 sequence that starts at s[i], or 0 when it is malformed.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  std::size_t len;
  unsigned int cp;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
  return len;
}

// GBK bytes of one UTF-8 character; 1 for a character GBK cannot hold ('?').
std::size_t GbkCharLength(std::string_view ch) {
  if (ch.size() == 1) return 1;
  std::string out;
  std::size_t consumed = 0;
  if (ToGbk().Convert(ch, out, consumed) != 0) return 1;
  return out.size();
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t len = Utf8SequenceLength(bytes, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string Utf8ToGbk(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    std::size_t consumed = 0;
    const int err = ToGbk().Convert(utf8.substr(i), out, consumed);
    i += consumed;
    if (err == 0) break;
    const std::size_t len = Utf8SequenceLength(utf8, i);
    if (len == 0) throw Error("text is not valid UTF-8 (byte " + std::to_string(i) + ")");
    out.push_back('?');  // a character code page 936 has no place for
    i += len;
  }
  return out;
}

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  out.reserve(gbk.size() * 3 / 2);
  std::size_t consumed = 0;
  if (FromGbk().Convert(gbk, out, consumed) != 0) {
    throw Error("text is not valid GBK (byte " + std::to_string(consumed) + ")");
  }
  return out;
}

std::size_t GbkLength(std::string_view utf8) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t len = Utf8SequenceLength(utf8, i);
    if (len == 0) throw Error("text is not valid UTF-8 (byte " + std::to_string(i) + ")");
    n += GbkCharLength(utf8.substr(i, len));
    i += len;
  }
  return n;
}

std::string CutToGbkBytes(std::string_view utf8, std::size_t maxBytes) {
  std::size_t n = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t len = Utf8SequenceLength(utf8, i);
    if (len == 0) throw Error("text is not valid UTF-8 (byte " + std::to_string(i) + ")");
    const std::size_t w = GbkCharLength(utf8.substr(i, len));
    if (n + w > maxBytes) break;
    n += w;
    i += len;
  }
  return std::string(utf8.substr(0, i));
}

}  // namespace kestrelo
