// File icons from the desktop's icon theme, for files that carry no icon of their own.
#pragma once

#include "imaging/imaging.h"

namespace ui {

class QtThemeIconProvider final : public imaging::ThemeIconProvider {
 public:
  // A PNG of the theme's icon for the file's type (folders included); "" when the theme
  // has none. Needs the GUI application.
  std::string icon_png(const std::string& native_path, int size) override;
};

}  // namespace ui
