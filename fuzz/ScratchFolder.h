// A private folder for the harnesses' files, made once per process below $TMPDIR (or /tmp).
#pragma once

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace VoltraFuzz {

inline const std::string& ScratchFolder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/voltra-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
        return pattern;
    }();
    return folder;
}

}  // namespace VoltraFuzz
