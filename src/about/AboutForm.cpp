#include "AboutForm.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

#include <filesystem>

TfrmAbout::TfrmAbout(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmAbout");
    setWindowTitle("About");
    // Client area of a 361 x 304 outer frame.
    setFixedSize(353, 281);

    imgAboutImage = new QLabel(this);
    imgAboutImage->setGeometry(8, 8, 105, 105);
    imgAboutImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Bevel1 = new QFrame(this);
    Bevel1->setGeometry(8, 8, 105, 105);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    AddLabel(120, 8, "Company:");
    AddLabel(120, 24, "Product Name:");
    AddLabel(120, 40, "Product Version:");
    AddLabel(120, 56, "Internal Name:");
    AddLabel(120, 72, "Version:");
    AddLabel(120, 88, "Original File Name:");
    lblCompany = AddLabel(216, 8);
    lblProductName = AddLabel(216, 24);
    lblProductVersion = AddLabel(216, 40);
    lblInternalName = AddLabel(216, 56);
    lblVersion = AddLabel(216, 72);
    lblFileName = AddLabel(216, 88);
    AddLabel(8, 120, "Trade Mark:");
    lblTradeMark = AddLabel(72, 120);
    AddLabel(8, 136, "Copyright:");
    lblCopyright = AddLabel(72, 136);
    AddLabel(8, 152, "Description:");

    memDescription = new QPlainTextEdit(this);
    memDescription->setGeometry(16, 168, 329, 65);
    memDescription->setReadOnly(true);
    memDescription->setFrameStyle(QFrame::NoFrame);
    memDescription->setBackgroundRole(QPalette::Window);
    memDescription->viewport()->setBackgroundRole(QPalette::Window);

    btnOk = new QPushButton("Ok", this);
    btnOk->setGeometry(272, 248, 75, 25);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(memDescription, btnOk);
}

QLabel *TfrmAbout::AddLabel(int left, int top, const QString &text)
{
    auto *label = new QLabel(text, this);
    label->move(left, top);
    label->setMinimumWidth(left < 120 ? 270 : 130);
    return label;
}

void TfrmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmAbout::FormShow()
{
    std::error_code error;
    VersionInfo.SetExecutableFile(std::filesystem::read_symlink("/proc/self/exe", error).string());

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
    btnOk->setFocus();
}
