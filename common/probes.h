#pragma once
#include <windows.h>

int is_nt_platform();
int is_nt5_or_later();
// 1 when the component library the player needs can be loaded.
int system_components_present();
// Opens a document or web address with the shell's "open" verb.
int open_in_shell(const char* address);
// Loads a system DLL by its full path in the system directory: a bare name
// would first find a DLL of that name planted beside the setup program.
HMODULE load_system_library(const char* name);
