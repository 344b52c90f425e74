// What the window says when a connect or a transfer fails: the host, the
// file and the cause in words.
#include "FailureText.h"
#include "FileFacts.h"

#include "IdComponent.h"
#include "IdException.h"
#include "IdStack.h"
#include "IdStream.h"

#include <gtest/gtest.h>

namespace {

template <typename E, typename... Args>
std::exception_ptr Error(Args... args)
{
    return std::make_exception_ptr(E(args...));
}

class FailureText : public ::testing::Test {
protected:
    TIdComponent Keep;  // keeps the process-wide stack, and its error texts
};

TEST_F(FailureText, ConnectFailuresNameTheHostAndTheCause)
{
    const std::pair<std::exception_ptr, QString> rows[] = {
        {Error<EIdSocketError>(11001, GStack->ErrorText(11001)), "Could not find the host \"ftp.exmaple.com\"."},
        {Error<EIdSocketError>(11004, GStack->ErrorText(11004)), "Could not find the host \"ftp.exmaple.com\"."},
        {Error<EIdSocketError>(10061, GStack->ErrorText(10061)),
         "Nothing is listening at ftp.exmaple.com:2121 (connection refused)."},
        {Error<EIdSocketError>(10060, GStack->ErrorText(10060)), "ftp.exmaple.com:2121 did not answer in time."},
        {Error<EIdSocketError>(10065, GStack->ErrorText(10065)),
         "Could not connect to ftp.exmaple.com:2121: Socket Error # 10065 No route to host."},
        {Error<EIdProtocolReplyError>(530, "530 Login incorrect."), "530 Login incorrect."},
        {Error<EIdConnClosedGracefully>("Connection Closed Gracefully."),
         "ftp.exmaple.com:2121 closed the connection before the login was done."},
    };
    for (const auto &[error, text] : rows)
        EXPECT_EQ(ConnectFailureText(error, "ftp.exmaple.com", 2121), text);
}

TEST_F(FailureText, TransferFailuresAreOneSentence)
{
    const struct {
        std::exception_ptr Error;
        QString Outcome, Text;
    } rows[] = {
        {Error<EIdConnClosedGracefully>("Connection Closed Gracefully."), "The existing local file was kept.",
         "Download of big.iso failed: the connection was closed by the server. The existing local file was kept."},
        {Error<EIdSocketError>(10054, GStack->ErrorText(10054)), "",
         "Download of big.iso failed: Socket Error # 10054 Connection reset by peer."},
        {Error<EIdSocketError>(10060, GStack->ErrorText(10060)), "",
         "Download of big.iso failed: the server did not answer in time."},
        {Error<EIdProtocolReplyError>(426, "426 Connection closed; transfer aborted."), "",
         "Download of big.iso failed: 426 Connection closed; transfer aborted."},
        {Error<EFileStreamError>("Cannot create file /ro/big.iso"), "",
         "Download of big.iso failed: Cannot create file /ro/big.iso."},
        {Error<EIdDataConnectionCut>("The data connection was cut before its end."), "",
         "Download of big.iso failed: the data connection was cut before its end."},
    };
    for (const auto &row : rows)
        EXPECT_EQ(TransferFailureText("Download", "big.iso", row.Error, row.Outcome), row.Text);
}

}  // namespace

// A listing's time in the locale's order and month names: the year
// outside this one, and the time of day as far as the listing gave it, to
// the second or the minute, never a second it did not give; nothing for an
// unknown time.
TEST(ListingTimeText, ReadsAsTheLocaleWritesDates)
{
    const QLocale before;
    const QLocale uk(QLocale::English, QLocale::UnitedKingdom), us(QLocale::English, QLocale::UnitedStates);
    const struct {
        QLocale Locale;
        int64_t Time;
        int Second;
        bool DateOnly;
        const char *Text;
    } cases[] = {
        {uk, 202612081014, -1, false, "8 Dec 10:14"},
        {uk, 202612081319, 46, false, "8 Dec 13:19:46"},
        {uk, 202612081319, 0, false, "8 Dec 13:19:00"},
        {uk, 201903030000, -1, true, "3 Mar 2019"},
        {uk, 201903031014, -1, false, "3 Mar 2019 10:14"},
        {uk, 201903031014, 5, false, "3 Mar 2019 10:14:05"},
        {us, 201903030000, -1, true, "Mar 3 2019"},
        {us, 202612081319, 46, false, "Dec 8 1:19:46 PM"},
        {QLocale(QLocale::German, QLocale::Germany), 202601310905, -1, false, "31 Jan. 09:05"},
        {uk, -1, -1, false, ""},
    };
    for (const auto &c : cases) {
        QLocale::setDefault(c.Locale);
        EXPECT_EQ(ListingTimeText(c.Time, 2026, c.Second, c.DateOnly), QString::fromUtf8(c.Text)) << c.Time;
    }
    QLocale::setDefault(before);
}
