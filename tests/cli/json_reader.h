// What brimlode-cli prints as JSON, read back with nlohmann-json: its parser
// is strict (raw control characters, bad escapes, trailing commas and text
// after the value are errors), so a test that parses the output also proves
// it is valid JSON. ordered_json keeps the keys in the order written.
#pragma once
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace brim::test {

using Json = nlohmann::ordered_json;

inline std::vector<std::string> Keys(const Json& object) {
  std::vector<std::string> keys;
  for (const auto& item : object.items()) keys.push_back(item.key());
  return keys;
}

}  // namespace brim::test
