#include "ui/theme_icons.h"

#include <QBuffer>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMimeDatabase>
#include <QPixmap>

namespace ui {

std::string QtThemeIconProvider::icon_png(const std::string& native_path, int size) {
  if (size <= 0 || size > 1024) return {};
  const QFileInfo info(QString::fromStdString(native_path));
  QIcon icon;
  if (info.isDir()) {
    icon = QIcon::fromTheme(QStringLiteral("folder"));
  } else {
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info);
    icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(mime.genericIconName());
  }
  if (icon.isNull()) icon = QFileIconProvider().icon(info);
  if (icon.isNull()) return {};
  const QImage image = icon.pixmap(size, size).toImage();
  if (image.isNull()) return {};
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return {};
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace ui
