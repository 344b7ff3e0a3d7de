#pragma once

#include <QWidget>

namespace ui {

// The "About" page: the program's name, version and copyright, and what it
// runs on (the libcurl version and the system's name).
class TAboutFrame final : public QWidget {
    Q_OBJECT

  public:
    explicit TAboutFrame(QWidget* Parent = nullptr);
};

} // namespace ui
