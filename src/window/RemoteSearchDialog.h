// The Find Remote Files window: what to look for below the remote folder
// shown (names, size, date, depth), the results as they come with their
// folders, a stop, and what to do with a result: download it, delete it,
// or open its folder.
#pragma once

#include "RemoteSearch.h"

#include <QDialog>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class TRemoteSession;
class TRemoteView;
class TTransferRunner;
class TTransfers;
class TWindowServices;

class TRemoteSearchDialog : public QDialog {
    Q_OBJECT
public:
    struct TParts {
        TRemoteSession &Browsing;
        TRemoteView &RemoteView;
        TTransfers &Transfers;
        TTransferRunner &Runner;
    };
    TRemoteSearchDialog(TWindowServices &window, const TParts &parts, const TSessionMaker &make, QWidget *parent);

    // Below the folder the views list now.
    void Begin();
    void StartOrStop();
    void DownloadChosen();
    void DeleteChosen();
    void OpenFolderOfChosen();
    TRemoteSearch &Search() { return FSearch; }

private:
    void Found(const TSearchResult &result);
    void Ended(const QString &summary);
    std::vector<TSearchResult> Chosen() const;

    TWindowServices &FWindow;
    TParts P;
    TRemoteSearch FSearch;
    std::string FTop;
    std::vector<TSearchResult> FResults;
    QLineEdit *FNames, *FMinSize, *FMaxSize;
    QCheckBox *FSinceOn;
    QDateEdit *FSince;
    QSpinBox *FDepth;
    QPushButton *FFind, *FDownload, *FDelete, *FOpen;
    QTreeWidget *FList;
    QLabel *FStatus;
};
