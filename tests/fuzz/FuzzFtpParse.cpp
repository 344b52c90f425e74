// The parses of what FTP replies carry: the passive address, the size and
// the quoted path.
#include "IdException.h"
#include "IdFTP.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    try {
        const TIdFTP::TPassiveAddress address = TIdFTP::ParsePassiveReply(text);
        if (address.Port < 1 || address.Port > 65535)
            __builtin_trap();  // a port a server could have, or an error
    } catch (const EIdException &) {
    } catch (const EConvertError &) {
    }
    // A size is unknown or plain digits of the text.
    const int64_t bytes = SizeFromReplyText(text);
    if (bytes < -1 || (bytes >= 0 && text.find_first_not_of("0123456789") != std::string::npos))
        __builtin_trap();
    const std::string path = ExtractQuotedPath(text);
    if (path.size() > text.size() || (!path.empty() && text.find(path) == std::string::npos))
        __builtin_trap();  // a part of the line, nothing else
    return 0;
}
