#include "AboutForm.h"

#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

TfrmAbout::TfrmAbout(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmAbout");
    setWindowTitle("About");

    // The picture in its frame, beside the product's values; the legal texts
    // and the description below; laid out by the font, so that no label runs
    // into its value whatever the font's size.
    imgAboutImage = new QLabel;
    imgAboutImage->setFixedSize(105, 105);
    imgAboutImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Bevel1 = new QFrame;
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setFixedSize(105, 105);
    auto *picture = new QGridLayout;
    picture->addWidget(imgAboutImage, 0, 0);
    picture->addWidget(Bevel1, 0, 0);

    auto *product = new QFormLayout;
    product->setLabelAlignment(Qt::AlignLeft);
    lblCompany = AddRow(product, "Company:");
    lblProductName = AddRow(product, "Product Name:");
    lblProductVersion = AddRow(product, "Product Version:");
    lblInternalName = AddRow(product, "Internal Name:");
    lblVersion = AddRow(product, "Version:");
    lblFileName = AddRow(product, "Original File Name:");
    auto *top = new QHBoxLayout;
    top->addLayout(picture);
    top->addSpacing(7);
    top->addLayout(product, 1);

    auto *legal = new QFormLayout;
    legal->setLabelAlignment(Qt::AlignLeft);
    lblTradeMark = AddRow(legal, "Trade Mark:");
    lblCopyright = AddRow(legal, "Copyright:");
    // A long copyright wraps rather than being cut.
    lblCopyright->setWordWrap(true);

    memDescription = new QPlainTextEdit;
    memDescription->setReadOnly(true);
    memDescription->setFrameStyle(QFrame::NoFrame);
    memDescription->setBackgroundRole(QPalette::Window);
    memDescription->viewport()->setBackgroundRole(QPalette::Window);
    memDescription->setFixedHeight(fontMetrics().lineSpacing() * 4 + 8);

    btnOk = new QPushButton("Ok");
    btnOk->setDefault(true);
    btnOk->setMinimumWidth(75);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    layout->addLayout(top);
    layout->addLayout(legal);
    layout->addWidget(new QLabel("Description:"));
    auto *description = new QHBoxLayout;
    description->addSpacing(8);
    description->addWidget(memDescription);
    layout->addLayout(description);
    layout->addLayout(buttons);
    // As wide as the old window at its font at least, and as its contents need.
    layout->addStrut(std::max(361, fontMetrics().horizontalAdvance(QLatin1Char('x')) * 60));
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    setTabOrder(memDescription, btnOk);
}

QLabel *TfrmAbout::AddRow(QFormLayout *form, const QString &text)
{
    auto *value = new QLabel;
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(new QLabel(text), value);
    return value;
}

void TfrmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmAbout::FormShow()
{
    // The running program's own image, even when an update has replaced
    // the file on disk since it started.
    VersionInfo.SetExecutableFile("/proc/self/exe");

    const auto text = [](const std::string &s) { return QString::fromStdString(s); };
    lblCompany->setText(text(VersionInfo.CompanyName));
    setWindowTitle("About: " + text(VersionInfo.ProductName));
    lblProductName->setText(text(VersionInfo.ProductName));
    lblProductVersion->setText(text(VersionInfo.ProductVersion));
    lblInternalName->setText(text(VersionInfo.InternalName));
    lblVersion->setText(text(VersionInfo.FileVersion));
    lblFileName->setText(text(VersionInfo.OriginalFilename));
    lblTradeMark->setText(text(VersionInfo.LegalTradeMarks));
    lblCopyright->setText(text(VersionInfo.LegalCopyright));
    memDescription->setPlainText(text(VersionInfo.FileDescription));
    adjustSize();
    // Centred on the desktop, not on the window that owns it.
    if (QScreen *desktop = screen())
        move(desktop->availableGeometry().center() - rect().center());
    btnOk->setFocus();
}
