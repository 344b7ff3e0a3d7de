#include "ui/PlaceholderPages.h"

#include <QLabel>
#include <QVBoxLayout>

namespace ui {

TPlaceholderPage::TPlaceholderPage(const QString& ObjectName, const QString& Note, QWidget* Parent)
    : QWidget(Parent) {
    setObjectName(ObjectName);
    auto* label = new QLabel(Note, this);
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
}

TPreferencesFrame::TPreferencesFrame(QWidget* Parent)
    : TPlaceholderPage("PreferencesFrame", tr("Preferences will be set here."), Parent) {}

TJobLogFrame::TJobLogFrame(QWidget* Parent)
    : TPlaceholderPage("JobLogFrame", tr("Finished jobs will be listed here."), Parent) {}

} // namespace ui
