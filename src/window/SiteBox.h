// The address box's list: every saved site by its path ("Work/www"), then
// the addresses typed in this run, the last ten; and their completion as
// the user types: the rest of the first that begins so, selected, so the
// next key types over it.
#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class TSiteList;

class TSiteBox {
public:
    TSiteBox(QComboBox *box, const TSiteList &sites);

    // The list anew from the sites and the addresses typed; the text stays.
    void Fill();
    // The site whose path the box shows, or -1 (a typed address).
    int ChosenSite() const;
    // Shows a site's path.
    void Choose(int site);
    // An address typed and connected to: first among the typed ones.
    void Remember(const QString &address);
    const QStringList &Typed() const { return FTyped; }
    // The box's text was typed: completed when a key added to its end.
    void Complete();

    static constexpr int TypedKept = 10;

private:
    QComboBox *FBox;
    QString FLastTyped;
    const TSiteList &FSites;
    QStringList FTyped;
};
