// The reply reader over bytes a server might send: whole replies, replies
// cut anywhere, endless ones. Every read ends, with a reply or an error.
#include "IdException.h"
#include "IdTCPConnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // What fits a socket's buffer at once: the server's side is written
    // whole and closed before the reading starts.
    if (size > 65536)
        return 0;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return 0;
    if (size > 0 && ::write(pair[1], data, size) != ssize_t(size)) {
        ::close(pair[0]);
        ::close(pair[1]);
        return 0;
    }
    ::shutdown(pair[1], SHUT_WR);
    {
        TIdTCPConnection connection;
        connection.Socket()->Handle = pair[0];
        connection.Socket()->IsOpen = true;
        try {
            for (int replies = 0; replies < 1000; ++replies) {
                connection.ReadReply({});
                if (connection.ReplyLines.empty())
                    __builtin_trap();  // a reply has at least one line
            }
        } catch (const EIdException &) {
        }
    }
    ::close(pair[1]);
    return 0;
}
