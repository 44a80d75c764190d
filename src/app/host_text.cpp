#include "app/host_text.h"

#include "platform/gbk.h"

namespace app {

std::string host_text(std::string_view utf8) {
  std::string gbk;
  if (platform::utf8_to_gbk(utf8, &gbk)) return gbk;
  // Only a literal outside GBK gets here; the tests compare every shown text.
  return std::string(utf8);
}

}  // namespace app
