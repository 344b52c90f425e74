// The filename filters dialog: the rules as a list to turn on and off,
// and the chosen rule's name, pattern (wildcards or a regular
// expression), type and size bounds beside it.
#pragma once

#include "NameFilters.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;

class TFiltersDialog : public QDialog {
    Q_OBJECT
public:
    TFiltersDialog(std::vector<TNameFilter> rules, QWidget *parent = nullptr);
    std::vector<TNameFilter> Result() const { return FRules; }

    void accept() override;

private:
    void Show(int row);
    void Take();
    void Add();
    void Remove();

    std::vector<TNameFilter> FRules;
    QListWidget *FList;
    QLineEdit *FName, *FPattern, *FMinSize, *FMaxSize;
    QCheckBox *FRegular;
    QComboBox *FAppliesTo;
    int FShown = -1;
    bool FShowing = false;
};
