#pragma once

#include <QString>

namespace ui {

// What the preference pages change in the main window the moment a setting
// changes, so the pages need not know the window.
class TPreferencesWindow {
  public:
    virtual ~TPreferencesWindow() = default;

    virtual void SetStayOnTop(bool OnTop) = 0;
    virtual void SetQueueShown(bool Shown) = 0;
    virtual void SetJobLogEnabled(bool Enabled) = 0;
    // A refused entry or a store that cannot be used, told to the user.
    virtual void ShowNotice(const QString& Text) = 0;
};

} // namespace ui
