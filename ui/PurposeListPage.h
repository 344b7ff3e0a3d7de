#pragma once

#include "jobs/JobTypes.h"
#include "ui/JobOptionPage.h"

#include <string>

class QLineEdit;
class QRadioButton;
class QToolButton;

namespace ui {

// What one list page edits: a comma list of the job and how it is applied.
struct TPurposeListKind {
    const char* ObjectName;
    std::string jobs::TCopyJob::*List;
    std::int32_t jobs::TCopyJob::*Purpose;
    int FirstCaption;      // copy all; copy only and do not copy follow
    bool Normalized;       // shown and stored in the normal comma list form
    bool CopyAllClears;    // "copy all" empties the list
    int BuilderMode;       // list builder mode behind the "..." buttons; 0 for none
};

// Address restrictions, extensions and MIME types: copy all, copy only the
// listed, or copy all but the listed.
class TPurposeListPage final : public TJobOptionPage {
    Q_OBJECT

  public:
    explicit TPurposeListPage(const TPurposeListKind& Kind, QWidget* Parent = nullptr);

    void LoadControlsFromJob(const jobs::TCopyJob& Job) override;
    void StoreControlsToJob(jobs::TCopyJob& Job) override;
    void UpdateLanguage() override;

  private:
    QToolButton* BuilderButton(QRadioButton* Radio, QLineEdit* Edit);
    QString ShownText(const std::string& List) const;

    const TPurposeListKind& Kind;
    QRadioButton* CopyAllRadio;
    QRadioButton* CopyOnlyRadio;
    QLineEdit* CopyOnlyEdit;
    QRadioButton* DoNotCopyRadio;
    QLineEdit* DoNotCopyEdit;
};

extern const TPurposeListKind AddressRestrictionsKind;
extern const TPurposeListKind FileExtensionsKind;
extern const TPurposeListKind MimeTypesKind;

} // namespace ui
