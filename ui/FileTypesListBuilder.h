#pragma once

#include "ui/FileTypeCategories.h"

#include <QDialog>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

enum TBuilderMode { bmExtensions = 1, bmMimeTypes = 2 };

// Builds an extension or MIME type list from categories the user checks:
// checking a category adds its types to the list, unchecking removes them.
// The categories come from FileExtensions.txt or MimeTypes.txt beside the
// program when present, else from a built-in set.
class TFileTypesListBuilder final : public QDialog {
    Q_OBJECT

  public:
    explicit TFileTypesListBuilder(QWidget* Parent = nullptr);

    // Opens the dialog on Edit's text; on OK the built list goes back into Edit.
    int Execute(TBuilderMode Mode, QLineEdit& Edit);
    // The same steps without the modal loop, so the dialog can be driven in tests.
    void Prepare(TBuilderMode Mode, const QString& List);
    QString List() const;
    QTreeWidget* CategoriesView() const { return Categories; }

  private:
    void PopulateCategories();
    void CategoryToggled(QTreeWidgetItem* Item);

    TBuilderMode Mode = bmExtensions;
    std::vector<TFileTypeCategory> Loaded;
    QTreeWidget* Categories;
    QLineEdit* TypesListEdit;
};

} // namespace ui
