// What went wrong, in words a user reads: the log line and the one message
// box of a failed transfer or connect say the same sentence. The engine's
// own texts ("Socket Error # 11001") stay as they are; these name the host,
// the file and the cause.
#pragma once

#include "FolderListing.h"

#include <QString>
#include <QStringList>

#include <exception>

// The cause of a failure, without a final full stop: "the connection was
// closed by the server", "Socket Error # 10054 Connection reset by peer",
// or the server's reply line.
QString FailureCause(std::exception_ptr error);

// A failed connect to host:port, as one sentence.
QString ConnectFailureText(std::exception_ptr error, const QString &host, int port);

// "The listing of FOLDER failed: CAUSE."
QString ListingFailureText(const QString &folder, std::exception_ptr error);

// "Download of NAME failed: CAUSE." with `outcome` after it when it is not
// empty (what became of the local file).
QString TransferFailureText(const QString &what, const QString &name, std::exception_ptr error,
                            const QString &outcome = {});

// Whether a failure came on the way, where trying again may do: the
// network or the connection, or a server's 4xx ("426 Connection closed").
bool FailedOnTheWay(std::exception_ptr error);
// "522 SSL connection failed: session reuse required": a data connection
// that did not resume the control connection's TLS session.
bool RefusedSessionReuse(std::exception_ptr error);

// What the log says of a listing that was not taken whole: the lines
// skipped, and where it was cut short, with `rest` saying what that means
// ("only the first are shown").
QStringList ListingNotes(const TFolderListing &listing, const TFolderListingLimits &limits, const QString &rest);

// An error already told to the user in the log and in a message box of
// its own, or one the user caused: the default error report stays quiet.
class EAbort : public std::exception {
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};

// A failure told in a full sentence: the default report shows the text.
class ETransferFailed : public std::runtime_error {
public:
    explicit ETransferFailed(const QString &text) : std::runtime_error(text.toStdString()) {}
};

// The server's digest of a file is not the one of the bytes that moved:
// the transfer failed on the way, and a retry moves the file again.
class EHashMismatch : public ETransferFailed {
public:
    using ETransferFailed::ETransferFailed;
};
