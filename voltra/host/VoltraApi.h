// Symbol visibility of the Voltra module's shared library (the plug-in).
#pragma once

#if defined(_WIN32)
#define VOLTRA_API __declspec(dllexport)
#else
#define VOLTRA_API __attribute__((visibility("default")))
#endif
