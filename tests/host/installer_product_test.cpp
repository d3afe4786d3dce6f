#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/installer_product.h"

TEST(InstallerProduct, QueryNamesLanguageThenCodePageInLowerCaseHex) {
    char query[kProductNameQuerySize];
    std::memset(query, 'x', sizeof query);
    compose_product_name_query(query, 0x04B00409u);
    EXPECT_EQ(std::string("\\StringFileInfo\\040904b0\\ProductName"), query);
    EXPECT_EQ(kProductNameQuerySize, std::strlen(query) + 1);
    compose_product_name_query(query, 0xFEDC0ABCu);
    EXPECT_EQ(std::string("\\StringFileInfo\\0abcfedc\\ProductName"), query);
    compose_product_name_query(query, 0);
    EXPECT_EQ(std::string("\\StringFileInfo\\00000000\\ProductName"), query);
}

TEST(InstallerProduct, ProductNameMustBeginWithTheInstallerText) {
    EXPECT_EQ(1, names_installer_product("Quenvale Tonvaro Installer"));
    EXPECT_EQ(1, names_installer_product("QUENVALE tonvaro iNSTALLER"));
    EXPECT_EQ(1, names_installer_product("Quenvale Tonvaro Installer 2.0 Beta"));
    EXPECT_EQ(0, names_installer_product("Quenvale Tonvaro Install"));
    EXPECT_EQ(0, names_installer_product("Quenvale Tonvaro"));
    EXPECT_EQ(0, names_installer_product(""));
    EXPECT_EQ(0, names_installer_product("Quenvale_Tonvaro Installer"));
    // Only ASCII letters fold: 0xC9 is not 0xE9 ("E" acute in code page 1252).
    EXPECT_EQ(0, names_installer_product("Qu\xc9nvale Tonvaro Installer"));
}
