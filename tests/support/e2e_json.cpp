// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_json.h"

#include <cstdlib>

#include "platform/json_text.h"

namespace larkwend::e2e {

class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Document() {
    JsonValue value;
    if (!Value(value, 0)) return std::nullopt;
    SkipSpace();
    if (pos_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  static constexpr int kMaxDepth = 64;

  void SkipSpace() {
    while (pos_ < text_.size() &&
           std::string_view(" \t\r\n").find(text_[pos_]) != std::string_view::npos)
      ++pos_;
  }
  bool Take(char c) {
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  bool StringBody(std::string& out) {
    SkipSpace();
    return ReadJsonString(text_, pos_, out);
  }

  bool Value(JsonValue& value, int depth) {
    if (depth > kMaxDepth) return false;
    SkipSpace();
    if (pos_ >= text_.size()) return false;
    char c = text_[pos_];
    if (c == '{') {
      ++pos_;
      auto object = std::make_shared<JsonValue::Object>();
      if (!Take('}')) {
        do {
          std::string key;
          JsonValue member;
          if (!StringBody(key) || !Take(':') || !Value(member, depth + 1)) return false;
          (*object)[key] = std::move(member);
        } while (Take(','));
        if (!Take('}')) return false;
      }
      value.value_ = object;
      return true;
    }
    if (c == '[') {
      ++pos_;
      auto array = std::make_shared<JsonValue::Array>();
      if (!Take(']')) {
        do {
          array->emplace_back();
          if (!Value(array->back(), depth + 1)) return false;
        } while (Take(','));
        if (!Take(']')) return false;
      }
      value.value_ = array;
      return true;
    }
    if (c == '"') {
      std::string text;
      if (!StringBody(text)) return false;
      value.value_ = std::move(text);
      return true;
    }
    if (Word("true")) {
      value.value_ = true;
      return true;
    }
    if (Word("false")) {
      value.value_ = false;
      return true;
    }
    if (Word("null")) return true;
    std::string number(text_.substr(pos_, 40));
    char* end = nullptr;
    double d = std::strtod(number.c_str(), &end);
    if (end == number.c_str()) return false;
    pos_ += static_cast<std::size_t>(end - number.c_str());
    value.value_ = d;
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

std::optional<JsonValue> JsonValue::Parse(std::string_view text) {
  return JsonParser(text).Document();
}

bool JsonValue::Bool(bool fallback) const {
  const bool* b = std::get_if<bool>(&value_);
  return b ? *b : fallback;
}

double JsonValue::Number(double fallback) const {
  const double* d = std::get_if<double>(&value_);
  return d ? *d : fallback;
}

std::string JsonValue::String(std::string fallback) const {
  const std::string* s = std::get_if<std::string>(&value_);
  return s ? *s : fallback;
}

const JsonValue::Array& JsonValue::Items() const {
  static const Array kEmpty;
  const auto* array = std::get_if<std::shared_ptr<Array>>(&value_);
  return array ? **array : kEmpty;
}

const JsonValue& JsonValue::operator[](std::string_view key) const {
  static const JsonValue kNull;
  const auto* object = std::get_if<std::shared_ptr<Object>>(&value_);
  if (!object) return kNull;
  auto it = (*object)->find(key);
  return it == (*object)->end() ? kNull : it->second;
}

const JsonValue& JsonValue::operator[](std::size_t index) const {
  static const JsonValue kNull;
  const Array& items = Items();
  return index < items.size() ? items[index] : kNull;
}

}  // namespace larkwend::e2e
