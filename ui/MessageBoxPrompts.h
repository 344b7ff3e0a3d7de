#pragma once

#include "queue/JobQueueTypes.h"

#include <QPointer>
#include <QWidget>

namespace ui {

// The job queue's questions and refusals as message boxes over the main window.
class TMessageBoxPrompts final : public queue::TJobQueuePrompts {
  public:
    void SetOwner(QWidget* Owner) { Window = Owner; }

    void ShowWarning(const std::string& Caption, const std::string& Text) override;
    bool AskYesNo(const std::string& Caption, const std::string& Text) override;

  private:
    QPointer<QWidget> Window; // none until the main window exists
};

} // namespace ui
