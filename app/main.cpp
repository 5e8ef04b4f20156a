// The voltra program: Voltra charges and radii for a structure file, from the command line.
#include "ExitCodes.h"
#include "Options.h"
#include "VoltraRun.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace VoltraApp;
    std::ios::sync_with_stdio(false);
    Options options;
    try {
        options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "voltra: " << e.what() << '\n';
        return kExitUsage;
    }
    return Run(options, std::cout, std::cerr);
}
