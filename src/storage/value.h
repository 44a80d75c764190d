// A field value as the table operations take and give it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace storage {

struct Value {
  enum class Kind { none, text, bytes, integer, real, boolean };

  Kind kind = Kind::none;
  std::string data;  // text (host bytes, GBK) or byte string
  int64_t integer = 0;
  double real = 0;
  bool boolean = false;

  static Value none() { return {}; }
  static Value text(std::string_view s) { return {Kind::text, std::string(s), 0, 0, false}; }
  static Value bytes(std::string_view b) { return {Kind::bytes, std::string(b), 0, 0, false}; }
  static Value of_integer(int64_t v) { return {Kind::integer, {}, v, 0, false}; }
  static Value of_real(double v) { return {Kind::real, {}, 0, v, false}; }
  static Value of_boolean(bool v) { return {Kind::boolean, {}, 0, 0, v}; }

  bool is_number() const { return kind == Kind::integer || kind == Kind::real; }
  double as_real() const { return kind == Kind::real ? real : static_cast<double>(integer); }
  int64_t as_integer() const {
    return kind == Kind::integer ? integer : static_cast<int64_t>(real);
  }
  bool operator==(const Value&) const = default;
};

}  // namespace storage
