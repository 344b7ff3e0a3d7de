#include "ui/FileTypesListBuilder.h"

#include "ui/JobOptionPage.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QTextStream>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

constexpr int TextFileExtensions = 30;
constexpr int TextMimeTypes = 31;
constexpr int TextExtensionsCaption = 74;
constexpr int TextMimeCaption = 75;
constexpr int TextCategory = 76;
constexpr int NameColumnWidth = 120;

std::vector<std::string> CategoryLines(TBuilderMode Mode) {
    const QString name = Mode == bmMimeTypes ? "MimeTypes.txt" : "FileExtensions.txt";
    QFile file(QCoreApplication::applicationDirPath() + "/" + name);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return BuiltInCategoryLines(Mode == bmMimeTypes);
    std::vector<std::string> lines;
    QTextStream stream(&file);
    while (!stream.atEnd()) lines.push_back(stream.readLine().toStdString());
    return lines;
}

// The theme's icon of the category's first type that names one; none otherwise.
QIcon CategoryIcon(const TFileTypeCategory& Category, TBuilderMode Mode) {
    const QMimeDatabase mimes;
    for (const std::string& type : Category.Types) {
        const QString text = QString::fromStdString(type);
        const QMimeType mime = Mode == bmMimeTypes ? mimes.mimeTypeForName(text)
                                                   : mimes.mimeTypeForFile("file" + text, QMimeDatabase::MatchExtension);
        if (!mime.isValid() || mime.isDefault()) continue;
        const QIcon icon = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
        if (!icon.isNull()) return icon;
    }
    return {};
}

} // namespace

TFileTypesListBuilder::TFileTypesListBuilder(QWidget* Parent)
    : QDialog(Parent), Categories(new QTreeWidget(this)), TypesListEdit(new QLineEdit(this)) {
    setObjectName("FileTypesListBuilderForm");
    Categories->setColumnCount(2);
    Categories->setRootIsDecorated(false);
    Categories->header()->resizeSection(0, NameColumnWidth);
    Categories->header()->setStretchLastSection(true);
    TypesListEdit->setObjectName("TypesListEdit");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Categories);
    layout->addWidget(TypesListEdit);
    layout->addWidget(buttons);
    resize(480, 320);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(Categories, &QTreeWidget::itemChanged, this, &TFileTypesListBuilder::CategoryToggled);
}

int TFileTypesListBuilder::Execute(TBuilderMode BuildMode, QLineEdit& Edit) {
    Prepare(BuildMode, Edit.text());
    const int result = exec();
    if (result == QDialog::Accepted) Edit.setText(List());
    return result;
}

void TFileTypesListBuilder::Prepare(TBuilderMode BuildMode, const QString& Text) {
    Mode = BuildMode;
    const bool mime = Mode == bmMimeTypes;
    setWindowTitle(LocalQText(mime ? TextMimeCaption : TextExtensionsCaption));
    Categories->setHeaderLabels({LocalQText(TextCategory), LocalQText(mime ? TextMimeTypes : TextFileExtensions)});
    TypesListEdit->setText(Text);
    PopulateCategories();
}

QString TFileTypesListBuilder::List() const { return TypesListEdit->text(); }

// The check boxes are set from the list once, when the dialog opens; typing
// into the list afterwards is free.
void TFileTypesListBuilder::PopulateCategories() {
    const QSignalBlocker quiet(Categories);
    Categories->clear();
    Loaded = ParseCategories(CategoryLines(Mode));
    const std::string list = TypesListEdit->text().toStdString();
    for (const TFileTypeCategory& category : Loaded) {
        auto* item = new QTreeWidgetItem(Categories, {QString::fromStdString(category.Name),
                                                      QString::fromStdString(category.TypesText)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, CategoryChecked(category, list) ? Qt::Checked : Qt::Unchecked);
        item->setIcon(0, CategoryIcon(category, Mode));
    }
}

void TFileTypesListBuilder::CategoryToggled(QTreeWidgetItem* Item) {
    const int row = Categories->indexOfTopLevelItem(Item);
    if (row < 0 || row >= int(Loaded.size())) return;
    const bool checked = Item->checkState(0) == Qt::Checked;
    TypesListEdit->setText(QString::fromStdString(WithCategory(Loaded[row], TypesListEdit->text().toStdString(), checked)));
}

} // namespace ui
