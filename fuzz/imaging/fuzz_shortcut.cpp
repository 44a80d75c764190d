// Shell links: header, item-ID list, link information, strings and extra data blocks, then
// the mapping of their paths to native ones.
#include "fuzz_common.h"
#include "platform/shortcut.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::ShellLink link;
  if (platform::parse_shell_link(fuzzing::bytes(data, size), &link)) {
    imaging::detail::map_link_path(link.target, "/tmp/links");
    imaging::detail::map_link_path(link.icon_location, "/tmp/links");
    imaging::detail::map_link_path(link.relative_path, "/tmp/links");
  }
  return 0;
}
