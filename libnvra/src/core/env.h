// env.h: library-wide state of libnvra: start count, global last error, global message handlers.
#pragma once

#include "nvra.h"

#include <cstdarg>
#include <string>

namespace nvra {

constexpr int kVersionMajor = 0;
constexpr int kVersionMinor = 1;
constexpr int kVersionBuild = 0;

// True while at least one NVRAinit is outstanding.
bool started();

// Sets the calling thread's global last error and returns code. printf-style.
int setGlobalError(int code, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
int setGlobalErrorV(int code, const char *fmt, va_list ap);

// Default text of a return code.
const char *codeText(int code);

// Guard used at the top of every entry point that needs a started library.
int requireStarted();

// Delivers a message to the global handlers in priority order.
void globalMessage(NVRAobject obj, const char *msg, int msgtype, int msgcode);

} // namespace nvra
