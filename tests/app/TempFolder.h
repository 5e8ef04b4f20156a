// The program tests' names for the shared scratch-folder and whole-file helpers.
#pragma once

#include "support/ScratchFolder.h"

namespace AppTest {

using TempFolder = VoltraTest::ScratchFolder;
using VoltraTest::FolderEntries;

inline std::string ReadFile(const std::filesystem::path& path) { return VoltraTest::ReadFileBytes(path); }
inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    VoltraTest::WriteFileBytes(path, bytes);
}

}  // namespace AppTest
