#pragma once
// The registry writes that every registration step makes the same way.
#include <windows.h>

// Creates or opens `sub_key` of `parent` (class "", non-volatile, no
// security attributes); answers the open key, or null.
HKEY create_key(HKEY parent, const char* sub_key, REGSAM access);
// A REG_SZ with its terminating zero counted; `name` null is the default
// value. Answers 1 or 0.
int set_text_value(HKEY key, const char* name, const char* text);
