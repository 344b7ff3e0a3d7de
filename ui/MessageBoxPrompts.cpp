#include "ui/MessageBoxPrompts.h"

#include <QMessageBox>

namespace ui {

void TMessageBoxPrompts::ShowWarning(const std::string& Caption, const std::string& Text) {
    QMessageBox::warning(Window, QString::fromStdString(Caption), QString::fromStdString(Text));
}

bool TMessageBoxPrompts::AskYesNo(const std::string& Caption, const std::string& Text) {
    return QMessageBox::question(Window, QString::fromStdString(Caption), QString::fromStdString(Text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace ui
