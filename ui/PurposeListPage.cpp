#include "ui/PurposeListPage.h"

#include "jobs/JobTypes.h"
#include "ui/FileTypesListBuilder.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>

namespace ui {

const TPurposeListKind AddressRestrictionsKind{"AddressRestrictionsFrame", &jobs::TCopyJob::AddressStrings,
                                               &jobs::TCopyJob::AddressStringsPurpose, 62, true, false, 0};
const TPurposeListKind FileExtensionsKind{"FileExtensionsFrame", &jobs::TCopyJob::Extensions,
                                          &jobs::TCopyJob::ExtensionsPurpose, 71, true, true, bmExtensions};
const TPurposeListKind MimeTypesKind{"MimeTypesFrame", &jobs::TCopyJob::Types, &jobs::TCopyJob::TypesPurpose, 77,
                                     false, true, bmMimeTypes};

TPurposeListPage::TPurposeListPage(const TPurposeListKind& Kind, QWidget* Parent)
    : TJobOptionPage(Parent), Kind(Kind), CopyAllRadio(new QRadioButton(this)), CopyOnlyRadio(new QRadioButton(this)),
      CopyOnlyEdit(new QLineEdit(this)), DoNotCopyRadio(new QRadioButton(this)), DoNotCopyEdit(new QLineEdit(this)) {
    setObjectName(Kind.ObjectName);
    CopyOnlyEdit->setObjectName("CopyOnlyEdit");
    DoNotCopyEdit->setObjectName("DoNotCopyEdit");
    auto* group = new QButtonGroup(this);
    auto* layout = new QGridLayout(this);
    layout->addWidget(CopyAllRadio, 0, 0, 1, 2);
    layout->addWidget(CopyOnlyRadio, 1, 0, 1, 2);
    layout->addWidget(CopyOnlyEdit, 2, 0);
    layout->addWidget(DoNotCopyRadio, 3, 0, 1, 2);
    layout->addWidget(DoNotCopyEdit, 4, 0);
    layout->setRowStretch(5, 1);
    for (QRadioButton* radio : {CopyAllRadio, CopyOnlyRadio, DoNotCopyRadio}) group->addButton(radio);
    if (Kind.BuilderMode != 0) {
        layout->addWidget(BuilderButton(CopyOnlyRadio, CopyOnlyEdit), 2, 1);
        layout->addWidget(BuilderButton(DoNotCopyRadio, DoNotCopyEdit), 4, 1);
    }
    // Typing a list means the user wants it applied.
    connect(CopyOnlyEdit, &QLineEdit::textEdited, CopyOnlyRadio, [this] { CopyOnlyRadio->setChecked(true); });
    connect(DoNotCopyEdit, &QLineEdit::textEdited, DoNotCopyRadio, [this] { DoNotCopyRadio->setChecked(true); });
}

QToolButton* TPurposeListPage::BuilderButton(QRadioButton* Radio, QLineEdit* Edit) {
    auto* button = new QToolButton(this);
    button->setText("...");
    connect(button, &QToolButton::clicked, this, [this, Radio, Edit] {
        Radio->setChecked(true);
        TFileTypesListBuilder builder(this);
        builder.Execute(static_cast<TBuilderMode>(Kind.BuilderMode), *Edit);
    });
    return button;
}

QString TPurposeListPage::ShownText(const std::string& List) const {
    return QString::fromStdString(Kind.Normalized ? jobs::NormalizeCommaList(List, jobs::MaxCommaListItemLength,
                                                                             jobs::MaxCommaListItems)
                                                  : List);
}

void TPurposeListPage::LoadControlsFromJob(const jobs::TCopyJob& Job) {
    const std::int32_t purpose = Job.*Kind.Purpose;
    CopyAllRadio->setChecked(purpose == jobs::lpCopyAll);
    CopyOnlyRadio->setChecked(purpose == jobs::lpCopyOnly);
    DoNotCopyRadio->setChecked(purpose == jobs::lpDoNotCopy);
    if (purpose == jobs::lpCopyOnly) CopyOnlyEdit->setText(ShownText(Job.*Kind.List));
    if (purpose == jobs::lpDoNotCopy) DoNotCopyEdit->setText(ShownText(Job.*Kind.List));
}

void TPurposeListPage::StoreControlsToJob(jobs::TCopyJob& Job) {
    std::string& list = Job.*Kind.List;
    std::int32_t& purpose = Job.*Kind.Purpose;
    if (CopyAllRadio->isChecked()) {
        purpose = jobs::lpCopyAll;
        if (Kind.CopyAllClears) list.clear();
        return;
    }
    QLineEdit* edit = CopyOnlyRadio->isChecked() ? CopyOnlyEdit : DoNotCopyRadio->isChecked() ? DoNotCopyEdit : nullptr;
    if (!edit) return; // a job that never chose leaves its list alone
    purpose = edit == CopyOnlyEdit ? jobs::lpCopyOnly : jobs::lpDoNotCopy;
    list = Kind.Normalized ? jobs::NormalizeCommaList(edit->text().toStdString(), jobs::MaxCommaListItemLength,
                                                      jobs::MaxCommaListItems)
                           : edit->text().toStdString();
    edit->setText(QString::fromStdString(list));
}

void TPurposeListPage::UpdateLanguage() {
    CopyAllRadio->setText(MnemonicText(Kind.FirstCaption));
    CopyOnlyRadio->setText(MnemonicText(Kind.FirstCaption + 1));
    DoNotCopyRadio->setText(MnemonicText(Kind.FirstCaption + 2));
}

} // namespace ui
