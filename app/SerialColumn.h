// The PQR records' serial column ("%5zu") for consecutive serials, counted on in decimal text:
// converting each serial to digits again cost about as much as one coordinate field.
#pragma once

#include "Common/ShortText.h"

#include <charconv>
#include <cstddef>
#include <cstring>

namespace VoltraApp {

class SerialColumn {
public:
    /// The next Write writes last + 1.
    explicit SerialColumn(std::size_t last) {
        std::memset(text_, ' ', sizeof text_);
        char digits[kRoom];
        const char* end = std::to_chars(digits, digits + sizeof digits, last).ptr;
        digits_ = static_cast<int>(end - digits);
        std::memcpy(text_ + kRoom - digits_, digits, static_cast<std::size_t>(digits_));
    }

    /// The next serial, right-aligned in five columns or longer, at out; returns the end.
    char* WriteNext(char* out) {
        int i = kRoom - 1;
        while (text_[i] == '9') text_[i--] = '0';
        // A blank before the digits: the serial gains one (99999 + 1). The room holds the
        // largest serial's 20 digits and a blank.
        if (text_[i] == ' ') {
            text_[i] = '1';
            ++digits_;
        } else {
            ++text_[i];
        }
        const int size = digits_ > kWidth ? digits_ : kWidth;
        return Common::WriteShortText(out, text_ + kRoom - size, static_cast<std::size_t>(size));
    }

private:
    static constexpr int kWidth = 5;
    static constexpr int kRoom = 24;
    char text_[kRoom];  // the last serial written, right-aligned, blanks before
    int digits_ = 1;
};

}  // namespace VoltraApp
