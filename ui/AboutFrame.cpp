#include "ui/AboutFrame.h"

#include "jobs/AppInfo.h"
#include "jobs/SavedOptions.h"
#include "ui/Icons.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace ui {

namespace {

QString Q(const std::string& Text) { return QString::fromStdString(Text); }

QLabel* Selectable(const QString& Text, QWidget* Parent) {
    auto* label = new QLabel(Text, Parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

TAboutFrame::TAboutFrame(QWidget* Parent) : QWidget(Parent) {
    setObjectName("AboutFrame");
    const jobs::TAppInfo& info = jobs::AppInfo;

    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(64, 64));
    auto* title = new QLabel(Q(info.ProductName()), this);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    title->setFont(big);
    auto* heading = new QHBoxLayout;
    heading->addWidget(icon);
    heading->addWidget(title, 1);

    auto* facts = new QFormLayout;
    facts->addRow(tr("Version:"), Selectable(Q(info.FileVersion()), this));
    facts->addRow(tr("Copyright:"), Selectable("\u00a9 " + Q(info.CompanyName()), this));
    facts->addRow(tr("Internet library:"), Selectable("libcurl " + Q(jobs::LibcurlVersion()), this));
    facts->addRow(tr("User interface:"), Selectable(QStringLiteral("Qt ") + qVersion(), this));
    facts->addRow(tr("System:"), Selectable(Q(info.GetOSName()), this));
    facts->addRow(tr("Data folder:"), Selectable(Q(jobs::GetDataFolder()), this));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addSpacing(12);
    layout->addLayout(facts);
    layout->addStretch();
}

} // namespace ui
