#pragma once

// Each fills `path` (a PathBuffer) and answers 1, or answers 0 with `path`
// undefined.
int get_special_folder(char* path, int csidl);
int get_programs_folder(char* path);
int get_desktop_folder(char* path);
int get_quick_launch_folder(char* path);
// 1 when the Quick Launch folder exists; the current directory is then
// StartDir.
int quick_launch_exists();
