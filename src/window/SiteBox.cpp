#include "SiteBox.h"

#include "SiteList.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

// An item's site index; -1 for a typed address.
constexpr int SiteRole = Qt::UserRole;

}  // namespace

TSiteBox::TSiteBox(QComboBox *box, const TSiteList &sites) : FBox(box), FSites(sites)
{
}

void TSiteBox::Fill()
{
    const QString text = FBox->currentText();
    const QSignalBlocker blocker(FBox);
    FBox->clear();
    for (int i = 0; i < FSites.Count(); ++i)
        FBox->addItem(FSites[i].Path(), i);
    for (const QString &address : FTyped)
        if (FBox->findText(address, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            FBox->addItem(address, -1);
    FBox->setCurrentIndex(FBox->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    FBox->setEditText(text);
}

int TSiteBox::ChosenSite() const
{
    const int item = FBox->findText(FBox->currentText(), Qt::MatchFixedString);
    const int site = item < 0 ? -1 : FBox->itemData(item, SiteRole).toInt();
    return site >= 0 && site < FSites.Count() ? site : -1;
}

void TSiteBox::Choose(int site)
{
    const QSignalBlocker blocker(FBox);
    FBox->setCurrentIndex(FBox->findData(site, SiteRole));
    FBox->setEditText(FSites[site].Path());
}

void TSiteBox::Remember(const QString &address)
{
    if (address.trimmed().isEmpty())
        return;
    FTyped.removeAll(address);
    FTyped.prepend(address);
    while (FTyped.size() > TypedKept)
        FTyped.removeLast();
    Fill();
}

void TSiteBox::Complete()
{
    QLineEdit *edit = FBox->lineEdit();
    const QString typed = edit->text();
    const bool added = typed.size() > FLastTyped.size() && edit->cursorPosition() == typed.size();
    FLastTyped = typed;
    if (!added)
        return;
    for (int i = 0; i < FBox->count(); ++i) {
        const QString item = FBox->itemText(i);
        if (item.size() > typed.size() && item.startsWith(typed, Qt::CaseInsensitive)) {
            edit->setText(typed + item.mid(typed.size()));
            edit->setSelection(int(edit->text().size()), -int(item.size() - typed.size()));
            return;
        }
    }
}
