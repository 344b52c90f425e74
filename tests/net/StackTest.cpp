// The socket stack and socket handle: error numbers and texts, name and
// address rules, bind, close and the refused connection.
#include "IdException.h"
#include "IdSocketHandle.h"
#include "NetTestSupport.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <atomic>
#include <memory>
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>
#include <thread>
#include <vector>

namespace {

class Stack : public ::testing::Test {
protected:
    TIdComponent Keep;  // keeps the process-wide stack alive
};

TEST_F(Stack, ErrorTextsCarryTheNumberAndTheTablesText)
{
    EXPECT_EQ(GStack->ErrorText(10061), "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(GStack->ErrorText(10035), "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(GStack->ErrorText(10066), "Socket Error # 10066\r\nDirectory not empty");
    EXPECT_EQ(GStack->ErrorText(11001), "Socket Error # 11001\r\n");
}

TEST_F(Stack, LinuxErrorsTakeTheClassicNumbers)
{
    const std::pair<int, int> cases[] = {
        {ECONNREFUSED, 10061}, {EADDRINUSE, 10048}, {EPIPE, 10058},     {ESHUTDOWN, 10058},
        {ECONNRESET, 10054},   {EAGAIN, 10035},     {EINPROGRESS, 10036}, {ETIMEDOUT, 10060},
        {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},  {EINTR, 10004},     {EBADF, 10009},
        {EACCES, 10013},       {EINVAL, 10022},     {EMFILE, 10024},    {ENOTCONN, 10057},
    };
    for (const auto &[error, code] : cases)
        EXPECT_EQ(TIdStackPosix::TranslateErrno(error), code) << "errno " << error;
    EXPECT_EQ(TIdStackPosix::TranslateResolverError(EAI_NONAME), 11001);
    EXPECT_EQ(TIdStackPosix::TranslateResolverError(EAI_AGAIN), 11002);
    EXPECT_EQ(TIdStackPosix::TranslateResolverError(EAI_FAIL), 11003);
    EXPECT_EQ(TIdStackPosix::TranslateResolverError(EAI_NODATA), 11004);
}

TEST_F(Stack, DottedQuads)
{
    for (const char *good : {"1.2.3.4", "0.0.0.0", "255.255.255.255", "127.0.0.1"})
        EXPECT_TRUE(TIdStack::IsDottedQuad(good)) << good;
    for (const char *bad : {"1.2.3", "1.2.3.4.5", "256.1.1.1", "1..3.4", "a.b.c.d", "", "1.2.3.-4", "localhost"})
        EXPECT_FALSE(TIdStack::IsDottedQuad(bad)) << bad;
}

TEST_F(Stack, AddressTextRoundTripsAndKeepsLowBits)
{
    EXPECT_EQ(TIdStack::AddressToText({192, 168, 1, 20}), "192.168.1.20");
    EXPECT_EQ(TIdStack::TextToAddress("10.0.0.1"), (std::array<uint8_t, 4>{10, 0, 0, 1}));
    EXPECT_EQ(TIdStack::TextToAddress("257.1.2.3"), (std::array<uint8_t, 4>{1, 1, 2, 3}));
    EXPECT_THROW((void)TIdStack::TextToAddress("1.x.2.3"), EConvertError);
}

TEST_F(Stack, LookupHostAsksTheNameServiceOnlyForNames)
{
    RecordingStack recording;
    ScopedStack scoped(&recording);
    EXPECT_EQ(GStack->LookupHost("localhost"), "127.0.0.1");
    EXPECT_EQ(GStack->LookupHost("LocalHost"), "127.0.0.1");
    EXPECT_EQ(GStack->LookupHost("10.0.0.1"), "10.0.0.1");
    EXPECT_TRUE(recording.LookedUp.empty());
    try {
        GStack->LookupHost("10.0.0");
    } catch (const EIdSocketError &) {
        // Whatever the resolver makes of it, it was asked.
    }
    EXPECT_EQ(recording.LookedUp, std::vector<std::string>{"10.0.0"});
}

TEST_F(Stack, UnknownNameRaisesTheResolversCode)
{
    try {
        GStack->LookupHost("no-such-host.invalid");
        FAIL() << "resolved";
    } catch (const EIdSocketError &error) {
        EXPECT_GE(error.LastError, 11001);
        EXPECT_LE(error.LastError, 11004);
        EXPECT_EQ(std::string(error.what()).substr(0, 19), "Socket Error # 1100");
    }
}

TEST_F(Stack, ServicesByNameOrNumber)
{
    EXPECT_EQ(GStack->ServicePort("21"), 21);
    try {
        GStack->ServicePort("no-such-service");
        FAIL();
    } catch (const EIdInvalidServiceName &error) {
        EXPECT_STREQ(error.what(), "no-such-service is not a valid service.");
    }
}

TEST_F(Stack, SelectListsAreLimitedTo64)
{
    std::vector<TIdSocketHandleValue> many(65, 0);
    try {
        GStack->SelectSockets(&many, nullptr, nullptr, 0);
        FAIL();
    } catch (const EIdStackSetSizeExceeded &error) {
        EXPECT_STREQ(error.what(), "Set Size Exceeded.");
    }
}

TEST_F(Stack, BindToAnyChoosesAddressAndPort)
{
    TIdSocketHandle handle;
    handle.Open();
    handle.IP = "127.0.0.1";
    handle.Bind();
    EXPECT_EQ(handle.IP, "127.0.0.1");
    EXPECT_GT(handle.Port, 0);

    TIdSocketHandle any;
    any.Open();
    any.Bind();
    EXPECT_EQ(any.IP, "0.0.0.0");
    EXPECT_GT(any.Port, 0);

    TIdSocketHandle clash;
    clash.Open();
    handle.Listen(1);
    clash.IP = "127.0.0.1";
    clash.Port = handle.Port;
    try {
        clash.Bind();
        FAIL();
    } catch (const EIdCouldNotBindSocket &error) {
        EXPECT_STREQ(error.what(), "Could not bind socket. Address and port are already in use.");
    }
}

TEST_F(Stack, CloseTwiceClosesOnceAndCanKeepTheLocalAddress)
{
    TIdSocketHandle handle;
    handle.Open();
    handle.IP = "127.0.0.1";
    handle.Bind();
    const int port = handle.Port;
    handle.Close(false);
    EXPECT_FALSE(handle.IsOpen);
    EXPECT_EQ(handle.Handle, Id_INVALID_SOCKET);
    EXPECT_EQ(handle.IP, "127.0.0.1");
    EXPECT_EQ(handle.Port, port);
    handle.Close();  // no-op
    EXPECT_EQ(handle.Port, port);

    handle.Open();
    handle.Close();
    EXPECT_EQ(handle.IP, "");
    EXPECT_EQ(handle.Port, 0);
}

TEST_F(Stack, RefusedConnectionGives10061)
{
    int port;
    {
        ScriptedPeer closed;  // a port that was just free
        port = closed.Port();
    }
    TIdSocketHandle handle;
    handle.Open();
    handle.SetRemote("127.0.0.1", port);
    try {
        GStack->CheckResult(handle.ConnectPeer());
        FAIL() << "connected";
    } catch (const EIdSocketError &error) {
        EXPECT_EQ(error.LastError, 10061);
        EXPECT_STREQ(error.what(), "Socket Error # 10061\r\nConnection refused.");
    }
}

// Each address of a server in turn, the next started when the last is
// still silent after a moment: listeners on IPv6 and IPv4 loopback, one
// refusing (nothing there) and one silent (its backlog full).
TEST_F(Stack, ConnectAnyTriesEachAddressAndTheNextWhenOneIsSilent)
{
    const auto listen = [](const char *address, int port, int backlog) {
        TIdSocketHandle *socket = new TIdSocketHandle;
        socket->Open(Id_SOCK_STREAM, Id_IPPROTO_IP, TIdStack::FamilyOf(address));
        socket->IP = address;
        socket->Port = port;
        socket->Bind();
        socket->Listen(backlog);
        return std::unique_ptr<TIdSocketHandle>(socket);
    };
    const auto open = listen("127.0.0.1", 0, 8);
    const int port = open->Port;
    const auto six = listen("::1", 0, 8);
    // Backlog 0 takes one connection; the next waits unanswered.
    const auto silent = listen("127.0.0.2", port, 0);
    const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(port));
    ::inet_pton(AF_INET, "127.0.0.2", &to.sin_addr);
    ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);

    const struct {
        const char *What;
        std::vector<std::string> Addresses;
        int Port, Timeout;
        const char *Reached;  // nullptr: the error below
        int Error;
    } cases[] = {
        {"IPv6", {"::1"}, six->Port, 5000, "::1", 0},
        {"IPv6 refused, then IPv4", {"::1", "127.0.0.1"}, port, 5000, "127.0.0.1", 0},
        // Without a second attempt while the first waits, this one would
        // time out on the silent address.
        {"silent, then another", {"127.0.0.2", "127.0.0.1"}, port, 5000, "127.0.0.1", 0},
        {"all refused", {"::1", "127.0.0.3"}, port, 5000, nullptr, Id_WSAECONNREFUSED},
        {"all silent", {"127.0.0.2"}, port, 300, nullptr, Id_WSAETIMEDOUT},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.What);
        TIdSocketHandle handle;
        const int result = handle.ConnectAny(test.Addresses, test.Port, test.Timeout);
        if (test.Reached) {
            ASSERT_EQ(result, 0) << GStack->LastError();
            EXPECT_TRUE(handle.IsOpen);
            EXPECT_EQ(handle.RemoteIP, test.Reached);
            EXPECT_EQ(handle.Family, TIdStack::FamilyOf(test.Reached));
        } else {
            EXPECT_EQ(result, Id_SOCKET_ERROR);
            EXPECT_EQ(GStack->LastError(), test.Error);
            EXPECT_TRUE(handle.IsOpen);  // for the caller's disconnect, as ConnectPeer leaves it
        }
    }
    ::close(filler);
}

TEST_F(Stack, AcceptFillsBothEnds)
{
    TIdSocketHandle listener;
    listener.Open();
    listener.IP = "127.0.0.1";
    listener.Bind();
    listener.Listen(1);
    const int client = ConnectLoopback(listener.Port);
    ASSERT_GE(client, 0);
    TIdSocketHandle accepted;
    accepted.Accept(listener.Handle);
    EXPECT_TRUE(accepted.IsOpen);
    EXPECT_EQ(accepted.IP, "127.0.0.1");
    EXPECT_EQ(accepted.Port, listener.Port);
    EXPECT_EQ(accepted.RemoteIP, "127.0.0.1");
    EXPECT_GT(accepted.RemotePort, 0);
    ::close(client);
}

TEST(StackLifetime, StackExistsWhileAComponentDoes)
{
    ASSERT_EQ(TIdComponent::InstanceCount(), 0);
    EXPECT_EQ(GStack, nullptr);
    {
        TIdComponent first;
        TIdStack *stack = GStack;
        ASSERT_NE(stack, nullptr);
        {
            TIdComponent second;
            EXPECT_EQ(GStack, stack);
            EXPECT_EQ(TIdComponent::InstanceCount(), 2);
        }
        EXPECT_EQ(GStack, stack);
        // Workers make and drop components on their own threads at once.
        std::atomic<int> ready = 0;
        std::vector<std::thread> workers;
        for (int i = 0; i < 2; ++i)
            workers.emplace_back([&ready] {
                for (++ready; ready < 2;) {
                }
                for (int n = 0; n < 200000; ++n)
                    TIdComponent passing;
            });
        for (auto &worker : workers)
            worker.join();
        EXPECT_EQ(GStack, stack);
        EXPECT_EQ(TIdComponent::InstanceCount(), 1);
    }
    EXPECT_EQ(TIdComponent::InstanceCount(), 0);
    EXPECT_EQ(GStack, nullptr);
}

TEST_F(Stack, LocalAddressesAreDottedQuads)
{
    try {
        const auto &addresses = GStack->LocalAddressList();
        EXPECT_FALSE(addresses.empty());
        for (const std::string &address : addresses)
            EXPECT_TRUE(TIdStack::IsDottedQuad(address)) << address;
        EXPECT_EQ(GStack->PrimaryLocalAddress(), addresses.front());
    } catch (const EIdSocketError &error) {
        // A host name the name service does not know is reported, not hidden.
        EXPECT_GE(error.LastError, 11001);
    }
}

}  // namespace
