#pragma once
// Message boxes owned by the wizard, and the message pump.
#include "common/results.h"

// MessageBoxA flags used across the program.
constexpr unsigned kMessageError = 16;        // error icon, OK
constexpr unsigned kMessageWarning = 48;      // exclamation icon, OK
constexpr unsigned kMessageWarningYesNo = 52;
constexpr unsigned kMessageInfo = 64;         // information icon, OK
constexpr unsigned kMessageInfoYesNo = 68;
constexpr int kAnswerYes = 6;

// A modal box owned by the wizard window (by none before it exists); answers
// the button pressed. Lives in a file of its own: tests link a recording
// substitute in its place.
int show_message(const char* text, const char* caption, unsigned flags);
// The three texts joined (cut at 2000 characters) under the caption "Error".
void show_error3(const char* first, const char* second, const char* third, unsigned flags);
// Dispatches every message waiting in the thread's queue; never waits.
void pump_pending_messages();
