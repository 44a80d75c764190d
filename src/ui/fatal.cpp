#include "ui/fatal.h"

#include <QMessageBox>
#include <cstdlib>

#include "storage/database.h"

namespace ui {

void install_fatal_handler() {
  storage::set_fatal_handler([](std::string_view report) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("错误"),
                    QString::fromUtf8(report.data(), static_cast<qsizetype>(report.size())),
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("消息框"));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    // At once: nothing of the failed command may run on. The tables are written through
    // unbuffered calls, so nothing is lost.
    std::_Exit(-1);
  });
}

}  // namespace ui
