#pragma once

#include <QWidget>

// Pages of the main window whose content comes later: each is the frame its
// page will hold, so the window, its tab order and its captions stay as they are.
namespace ui {

// A page with one centred line saying what will be shown there.
class TPlaceholderPage : public QWidget {
    Q_OBJECT

  public:
    TPlaceholderPage(const QString& ObjectName, const QString& Note, QWidget* Parent);
};

// "Preferences": the preference pages.
class TPreferencesFrame final : public TPlaceholderPage {
    Q_OBJECT

  public:
    explicit TPreferencesFrame(QWidget* Parent = nullptr);
};

// "Log": the log of finished jobs.
class TJobLogFrame final : public TPlaceholderPage {
    Q_OBJECT

  public:
    explicit TJobLogFrame(QWidget* Parent = nullptr);
};

} // namespace ui
