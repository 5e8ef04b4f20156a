// Exit status of the voltra program; stable, so scripts can tell failures apart.
#pragma once

namespace VoltraApp {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitInternalError = 1,   // a bug or an unexpected exception
    kExitUsage = 2,           // bad command line
    kExitInputError = 3,      // the structure could not be read
    kExitCommandRefused = 4,  // a command was not suitable or failed (its own message is printed)
    kExitOutputError = 5,     // an output file could not be written
};

}  // namespace VoltraApp
