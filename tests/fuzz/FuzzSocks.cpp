// The SOCKS 4, 4A and 5 negotiation against any proxy reply. The first
// byte chooses the version and, for 5, whether a password is offered.
#include "IdException.h"
#include "IdTCPClient.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace {

class TFuzzClient : public TIdTCPClient {
public:
    using TIdTCPClient::NegotiateSocks4;
    using TIdTCPClient::NegotiateSocks5;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return 0;
    if (size > 1 && ::write(pair[1], data + 1, size - 1) != ssize_t(size - 1)) {
        ::close(pair[0]);
        ::close(pair[1]);
        return 0;
    }
    ::shutdown(pair[1], SHUT_WR);
    {
        TFuzzClient client;
        // SOCKS 4 resolves the name here: only a number keeps it offline.
        client.Host = (data[0] & 4) && (data[0] & 3) != 0 ? "proxy.example" : "127.0.0.1";
        client.Port = 21;
        client.SocksInfo.UserID = "user";
        client.SocksInfo.Password = "secret";
        client.SocksInfo.Authentication = (data[0] & 8) ? saUsernamePassword : saNoAuthentication;
        client.Socket()->Handle = pair[0];
        client.Socket()->IsOpen = true;
        try {
            switch (data[0] & 3) {
            case 0: client.NegotiateSocks4(false); break;
            case 1: client.NegotiateSocks4(true); break;
            default: client.NegotiateSocks5(); break;
            }
        } catch (const EIdException &) {
        }
    }
    ::close(pair[1]);
    return 0;
}
