#include "io/ReadError.h"

namespace HostIO {
namespace {
std::string Compose(const std::string& file, int line, int column, const std::string& detail) {
    std::string text = file;
    if (line > 0) {
        text += ':' + std::to_string(line);
        if (column > 0) text += ':' + std::to_string(column);
    }
    return text + ": " + detail;
}
}  // namespace

ReadError::ReadError(const std::string& file, int line, int column, const std::string& detail)
    : std::runtime_error(Compose(file, line, column, detail)),
      file_(file),
      detail_(detail),
      line_(line > 0 ? line : 0),
      column_(line > 0 && column > 0 ? column : 0) {}

std::string LowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && !(text.size() > 1 && text[1] >= 'A' && text[1] <= 'Z')) {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

}  // namespace HostIO
