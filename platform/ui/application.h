#pragma once

// The Qt application the module's windows need. A host that is a Qt Widgets program has
// one; any other host (a C program, Python, a till with no Qt of its own) gets one made
// on the thread of its first dialog call and kept until the module is unloaded. Qt ends
// the process when it finds no usable platform or display, so that is checked first and
// reported as a refusal instead.

#include "platform/platform_global.h"

#include <string>

namespace kzt {

// Who reads a problem: the operator (Portuguese, Windows-1252) or a host's developer
// (English).
enum class Audience { Operator, Integrator };

// Makes sure windows can be shown from the calling thread: uses the host's QApplication,
// or creates one when there is none and a display can be reached. `headless` (a scripted
// call, which nobody watches) creates it on the offscreen platform unless QT_QPA_PLATFORM
// names one. Returns "" when the caller may go on, otherwise why it may not, as a sentence
// for `audience` (no display, a call from another thread, a host application without
// widgets).
KZT_PLATFORM_API std::string prepareGuiApplication(Audience audience = Audience::Operator,
                                                   bool headless = false);

// Where an error goes that escapes an event handler while the module's own application
// runs the event loop (a Qt host catches them in its own application). Windows-1252 text;
// the reporter must not throw. Without one the text goes to stderr. Left to the loop, the
// error would unwind through the dialog's modal loop and leave it pointing at freed state.
using UnhandledErrorReporter = void (*)(const std::string& cp1252);
KZT_PLATFORM_API void setUnhandledErrorReporter(UnhandledErrorReporter reporter);

// True when the application in use was made by prepareGuiApplication.
KZT_PLATFORM_API bool ownsGuiApplication();

// Drops Qt's notice that, for want of XDG_RUNTIME_DIR, it made a private runtime folder of
// its own, and hands every other message to the handler installed before. Installed with
// the application prepareGuiApplication makes; a program that makes its own calls it first.
KZT_PLATFORM_API void filterQtRuntimeFolderNotice();

// True when that application was made headless: its windows are shown to nobody.
KZT_PLATFORM_API bool guiApplicationIsHeadless();

// Frees the application prepareGuiApplication made, when called on its thread (a Qt
// application cannot be destroyed from another); otherwise does nothing. Safe to call
// more than once.
KZT_PLATFORM_API void releaseGuiApplication();

// Why Qt could not start a windowing platform here, in the environment as it is now
// (QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY, XDG_SESSION_TYPE and the installed
// platform plugins), or "" when one of the platforms Qt would try can start. UTF-8.
KZT_PLATFORM_API std::string qtPlatformProblem(Audience audience = Audience::Operator);

} // namespace kzt
