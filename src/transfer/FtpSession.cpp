#include "FtpSession.h"

#include "IdFTP.h"

bool TFtpSession::Connected()
{
    return FFtp.Connected();
}

bool TFtpSession::Busy() const
{
    return FFtp.Busy();
}

std::string TFtpSession::CurrentFolder()
{
    return FFtp.QueryCurrentFolder();
}

void TFtpSession::EnterFolder(const std::string &folder)
{
    FFtp.EnterFolder(folder);
    FFtp.SetTransferType(ftASCII);
}

void TFtpSession::EnterParentFolder()
{
    FFtp.EnterParentFolder();
}

TFolderListing TFtpSession::List(const TFolderListingLimits &limits, const std::function<void(TListingEntry &&)> &entry,
                                 const std::function<void(std::string_view)> &line)
{
    return ReadFolderListing(FFtp, limits, entry, line);
}

bool TFtpSession::ListsUnordered() const
{
    return FFtp.Features().MachineListing;
}

void TFtpSession::MakeFolder(const std::string &name)
{
    FFtp.CreateFolder(name);
}

void TFtpSession::Delete(const std::string &name)
{
    FFtp.Delete(name);
}

void TFtpSession::Rename(const std::string &from, const std::string &to)
{
    FFtp.Rename(from, to);
}
