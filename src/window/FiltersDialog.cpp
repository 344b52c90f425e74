#include "FiltersDialog.h"

#include "UserDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

QString SizeText(int64_t size)
{
    return size < 0 ? QString() : QString::number(size);
}

int64_t SizeOf(const QLineEdit *field)
{
    return field->text().trimmed().isEmpty() ? -1 : field->text().trimmed().toLongLong();
}

}  // namespace

TFiltersDialog::TFiltersDialog(std::vector<TNameFilter> rules, QWidget *parent) : QDialog(parent), FRules(std::move(rules))
{
    setWindowTitle("Filename Filters");
    setObjectName("dlgFilters");
    FList = new QListWidget;
    FList->setObjectName("lbFilters");
    FList->setAccessibleName("Filters");
    auto *add = new QPushButton("&New");
    auto *remove = new QPushButton("&Delete");
    for (QPushButton *button : {add, remove})
        button->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, [this] { Add(); });
    connect(remove, &QPushButton::clicked, this, [this] { Remove(); });

    FName = new QLineEdit;
    FName->setObjectName("edFilterName");
    FPattern = new QLineEdit;
    FPattern->setObjectName("edFilterPattern");
    FPattern->setPlaceholderText("*.o;*.tmp");
    FRegular = new QCheckBox("&Regular expression");
    FRegular->setObjectName("cbFilterRegular");
    FAppliesTo = new QComboBox;
    FAppliesTo->setObjectName("cbFilterAppliesTo");
    FAppliesTo->addItems({"Files and folders", "Files", "Folders"});
    const auto sizeField = [this](const char *name) {
        auto *field = new QLineEdit;
        field->setObjectName(name);
        field->setPlaceholderText("Any");
        field->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,18}"), field));
        return field;
    };
    FMinSize = sizeField("edFilterMinSize");
    FMaxSize = sizeField("edFilterMaxSize");
    auto *form = new QFormLayout;
    form->addRow("N&ame:", FName);
    form->addRow("&Pattern:", FPattern);
    form->addRow(FRegular);
    form->addRow("Appl&ies to:", FAppliesTo);
    form->addRow("At &least (bytes):", FMinSize);
    form->addRow("At m&ost (bytes):", FMaxSize);
    for (QLineEdit *field : {FName, FPattern, FMinSize, FMaxSize})
        connect(field, &QLineEdit::textEdited, this, [this] { Take(); });
    connect(FRegular, &QCheckBox::toggled, this, [this] { Take(); });
    connect(FAppliesTo, &QComboBox::currentIndexChanged, this, [this] { Take(); });

    auto *left = new QVBoxLayout;
    left->addWidget(FList, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    left->addLayout(buttons);
    auto *middle = new QHBoxLayout;
    middle->addLayout(left, 1);
    middle->addLayout(form, 2);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(middle);
    layout->addWidget(box);

    for (const TNameFilter &rule : FRules) {
        auto *item = new QListWidgetItem(rule.Name, FList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(rule.Enabled ? Qt::Checked : Qt::Unchecked);
    }
    connect(FList, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        FRules[size_t(FList->row(item))].Enabled = item->checkState() == Qt::Checked;
    });
    connect(FList, &QListWidget::currentRowChanged, this, [this](int row) { Show(row); });
    FList->setCurrentRow(FRules.empty() ? -1 : 0);
    Show(FList->currentRow());
}

void TFiltersDialog::Show(int row)
{
    FShown = row;
    FShowing = true;
    const TNameFilter rule = row >= 0 ? FRules[size_t(row)] : TNameFilter{};
    FName->setText(rule.Name);
    FPattern->setText(rule.Pattern);
    FRegular->setChecked(rule.RegularExpression);
    FAppliesTo->setCurrentIndex(int(rule.AppliesTo));
    FMinSize->setText(SizeText(rule.MinSize));
    FMaxSize->setText(SizeText(rule.MaxSize));
    for (QWidget *field : std::initializer_list<QWidget *>{FName, FPattern, FRegular, FAppliesTo, FMinSize, FMaxSize})
        field->setEnabled(row >= 0);
    FShowing = false;
}

void TFiltersDialog::Take()
{
    if (FShowing || FShown < 0)
        return;
    TNameFilter &rule = FRules[size_t(FShown)];
    rule.Name = FName->text();
    rule.Pattern = FPattern->text();
    rule.RegularExpression = FRegular->isChecked();
    rule.AppliesTo = TNameFilter::TAppliesTo(FAppliesTo->currentIndex());
    rule.MinSize = SizeOf(FMinSize);
    rule.MaxSize = SizeOf(FMaxSize);
    FList->item(FShown)->setText(rule.Name);
}

void TFiltersDialog::Add()
{
    // A new rule is on: it was made to be used.
    FRules.push_back({"New filter", true, "*.tmp"});
    auto *item = new QListWidgetItem("New filter", FList);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    FList->setCurrentItem(item);
    FName->setFocus();
    FName->selectAll();
}

void TFiltersDialog::Remove()
{
    const int row = FList->currentRow();
    if (row < 0)
        return;
    FShown = -1;
    FRules.erase(FRules.begin() + row);
    delete FList->takeItem(row);
    Show(FList->currentRow());
}

void TFiltersDialog::accept()
{
    for (const TNameFilter &rule : FRules)
        if (const QString problem = TNameFilters::Problem(rule); !problem.isEmpty()) {
            UserDialogs().ShowError(this, problem);
            return;
        }
    QDialog::accept();
}
