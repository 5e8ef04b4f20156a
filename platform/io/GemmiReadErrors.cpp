#include "io/GemmiReadErrors.h"

#include "io/ReadError.h"

#include <algorithm>
#include <cctype>

namespace HostIO {
namespace {

// The decimal number at message[pos], moving pos past it; -1 when there is none.
int ReadNumber(const std::string& message, std::size_t& pos) {
    int value = 0;
    const std::size_t start = pos;
    while (pos < message.size() && std::isdigit(static_cast<unsigned char>(message[pos]))) {
        value = value * 10 + (message[pos++] - '0');
    }
    return pos > start ? value : -1;
}

// "The line is too short to be correct:\nATOM ..." -> "the line is too short to be correct: 'ATOM ...'"
std::string QuoteOffendingLine(std::string detail) {
    const std::size_t newline = detail.find('\n');
    if (newline == std::string::npos) return detail;
    std::string quoted = detail.substr(newline + 1);
    while (!quoted.empty() && (quoted.back() == '\n' || quoted.back() == '\r')) quoted.pop_back();
    detail = detail.substr(0, newline);
    if (!detail.empty() && detail.back() == ':') detail.pop_back();
    return detail + ": '" + quoted + "'";
}

}  // namespace

void ThrowPdbReaderError(const std::string& name, const std::string& message) {
    static const std::string kPrefix = "Problem in line ";
    if (message.compare(0, kPrefix.size(), kPrefix) == 0) {
        std::size_t end = kPrefix.size();
        const int line = std::max(ReadNumber(message, end), 0);
        const std::string detail = message.size() > end + 2 ? message.substr(end + 2) : std::string();
        throw ReadError(name, line, LowerFirst(QuoteOffendingLine(detail)));
    }
    throw ReadError(name, LowerFirst(message));
}

void ThrowCifReaderError(const std::string& name, const std::string& message) {
    if (message.compare(0, name.size() + 1, name + ":") == 0) {
        std::size_t pos = name.size() + 1;
        const int line = ReadNumber(message, pos);
        if (line > 0 && pos < message.size() && message[pos] == ':') {
            ++pos;
            const int column = ReadNumber(message, pos);
            if (column > 0 && message.compare(pos, 2, ": ") == 0) {
                throw ReadError(name, line, column, LowerFirst(message.substr(pos + 2)));
            }
        }
    }
    throw ReadError(name, LowerFirst(message));
}

}  // namespace HostIO
