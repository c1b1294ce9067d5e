// SPDX-License-Identifier: GPL-3.0-or-later
// A small JSON writer for the state endpoint and the pages' script answers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/json_text.h"

namespace larkwend::practice {

using larkwend::JsonQuote;

class JsonObject {
 public:
  JsonObject& Add(std::string_view key, std::string_view value);
  JsonObject& Add(std::string_view key, const char* value) {
    return Add(key, std::string_view(value));
  }
  JsonObject& Add(std::string_view key, std::int64_t value);
  JsonObject& Add(std::string_view key, int value) { return Add(key, std::int64_t{value}); }
  JsonObject& Add(std::string_view key, double value);
  JsonObject& Add(std::string_view key, bool value);
  // `json` is already JSON text (an object or array built with these classes).
  JsonObject& AddRaw(std::string_view key, std::string_view json);
  std::string str() const { return body_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string body_ = "{";
};

class JsonArray {
 public:
  JsonArray& AddRaw(std::string_view json);
  JsonArray& Add(std::string_view value) { return AddRaw(JsonQuote(value)); }
  std::string str() const { return body_ + "]"; }

 private:
  std::string body_ = "[";
};

}  // namespace larkwend::practice
