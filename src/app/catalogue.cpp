#include "app/catalogue.h"

namespace app {

int category_row(std::string_view base_name) {
  for (size_t i = 0; i < kCatalogue.size(); ++i)
    if (kCatalogue[i].base_name == base_name) return static_cast<int>(i);
  return -1;
}

}  // namespace app
