// Test texts are written in UTF-8 and turned into the host's bytes here.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/gbk.h"

inline std::string G(std::string_view utf8) {
  std::string gbk;
  if (!platform::utf8_to_gbk(utf8, &gbk)) throw std::invalid_argument("no GBK form");
  return gbk;
}
