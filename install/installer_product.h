#pragma once
// How copies of the setup program are recognised: by the ProductName of
// their version resource, in any of its translations. Portable: no Win32
// types.

constexpr const char* kInstallerProductText = "Quenvale Tonvaro Installer";
constexpr const char* kTranslationQuery = "\\VarFileInfo\\Translation";
// "\StringFileInfo\llllcccc\ProductName" and its terminator.
constexpr unsigned kProductNameQuerySize = 37;

// Writes the ProductName query of one translation into `query`
// (kProductNameQuerySize bytes): the language id from the low 16 bits, then
// the code page from the high 16 bits, as lower-case hexadecimal digits.
void compose_product_name_query(char* query, unsigned translation);
// 1 when `text` begins with the installer product text, ASCII case ignored.
int names_installer_product(const char* text);
