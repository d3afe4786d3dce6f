#pragma once
#include <windows.h>

int register_file_types();
