// What FTP replies say in their text, read by content: the address of a
// 227, the path of a 257, the size of a 213. Servers word these freely;
// each reader takes what it finds and refuses what cannot be.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The path between the first pair of double quotes of a 257 line; empty
// when there is no closing quote.
[[nodiscard]] std::string ExtractQuotedPath(const std::string &line);
// The size a 213 reply's text gives: plain decimal digits that fit 64
// bits; -1 (unknown) for anything else, a sign or hexadecimal included.
[[nodiscard]] int64_t SizeFromReplyText(const std::string &text);
// The size a SIZE reply gives, or -1: any code but 213 included.
[[nodiscard]] int64_t SizeFromReply(int code, const std::vector<std::string> &lines);
// The time an MDTM reply gives as "YYYYMMDDHHMMSS" (fractions dropped);
// "" for any code but 213 or a text that holds no such time.
[[nodiscard]] std::string TimeFromReply(int code, const std::vector<std::string> &lines);

// The host and port of a 227 reply; raises EConvertError for fields that
// are no numbers, EIdFTPInvalidPassiveReply for numbers outside 0 to 255
// and for port 0.
struct TIdPassiveAddress {
    std::string Host;
    int Port = 0;
};
[[nodiscard]] TIdPassiveAddress ParsePassiveAddress(const std::string &line);
// The port of a 229 reply ("(|||6446|)", RFC 2428: any delimiter, the
// same four times); EIdFTPInvalidPassiveReply for anything else.
[[nodiscard]] int ParseExtendedPassivePort(const std::string &line);
