#include "settings/IniCfg.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "common/Error.h"

namespace kestrelo {
namespace {

using Json = nlohmann::json;

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

void ReadBool(const Json& obj, const char* key, bool& field) {
  const auto it = obj.find(key);
  if (it != obj.end() && it->is_boolean()) field = it->get<bool>();
}

// Only whole numbers that fit: 5.5 or 2^40 is not a picture count.
void ReadInt32(const Json& obj, const char* key, std::int32_t& field) {
  const auto it = obj.find(key);
  if (it == obj.end()) return;
  if (it->is_number_unsigned()) {
    const auto v = it->get<std::uint64_t>();
    if (v <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
      field = static_cast<std::int32_t>(v);
    }
  } else if (it->is_number_integer()) {
    const auto v = it->get<std::int64_t>();
    if (v >= std::numeric_limits<std::int32_t>::min() &&
        v <= std::numeric_limits<std::int32_t>::max()) {
      field = static_cast<std::int32_t>(v);
    }
  }
}

}  // namespace

TInicfg::TInicfg(std::string_view jsonText) {
  if (!IsBlank(jsonText)) {
    Json obj;
    try {
      obj = Json::parse(jsonText);
    } catch (const Json::parse_error& e) {
      throw Error(std::string("debug switches are not valid JSON: ") + e.what());
    }
    if (!obj.is_object()) throw Error("debug switches must be a JSON object");
    ReadBool(obj, "FDebugBlackDotCountArrayPeak", debugBlackDotCountArrayPeak_);
    ReadBool(obj, "FDebugCellRect", debugCellRect_);
    ReadBool(obj, "FShowVerifyColor", showVerifyColor_);
    ReadBool(obj, "FDebugSplitThread", debugSplitThread_);
    ReadBool(obj, "FshowDebugMemo", showDebugMemo_);
    ReadInt32(obj, "FTestBmpCount", testBmpCount_);
  }
  showVerifyColor_ = true;
}

const TInicfg& Inicfg() {
  static const TInicfg instance;
  return instance;
}

}  // namespace kestrelo
