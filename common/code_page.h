#pragma once
// Hands the lead bytes of the system's ANSI code page to the text helpers;
// called first thing, before any path is looked at.
void use_system_code_page();
