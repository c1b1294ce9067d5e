// SPDX-License-Identifier: GPL-3.0-or-later
// A small JSON reader for tests that inspect the practice site's state document.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace larkwend::e2e {

class JsonValue {
 public:
  using Array = std::vector<JsonValue>;
  using Object = std::map<std::string, JsonValue, std::less<>>;

  JsonValue() = default;  // null

  // nullopt when `text` is not one well-formed JSON value.
  static std::optional<JsonValue> Parse(std::string_view text);

  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  // Typed reads; a value of another type reads as the fallback.
  bool Bool(bool fallback = false) const;
  double Number(double fallback = 0) const;
  long long Int(long long fallback = 0) const { return static_cast<long long>(Number(fallback)); }
  std::string String(std::string fallback = {}) const;
  const Array& Items() const;  // empty unless an array
  std::size_t Size() const { return Items().size(); }

  // Member `key` of an object, or element `index` of an array; null when absent.
  const JsonValue& operator[](std::string_view key) const;
  const JsonValue& operator[](std::size_t index) const;

 private:
  friend class JsonParser;
  std::variant<std::monostate, bool, double, std::string, std::shared_ptr<Array>,
               std::shared_ptr<Object>>
      value_;
};

}  // namespace larkwend::e2e
