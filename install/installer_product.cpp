#include "install/installer_product.h"

#include "common/text.h"

namespace {
constexpr const char* kProductNameQuery = "\\StringFileInfo\\00000000\\ProductName";
constexpr unsigned kHexDigitsAt = 16;
}  // namespace

void compose_product_name_query(char* query, unsigned translation) {
    copy_text(query, kProductNameQuery);
    // The language id is the low half but comes first in the block's name.
    const unsigned value = (translation & 0xFFFFu) << 16 | translation >> 16;
    for (unsigned i = 0; i < 8; ++i) {
        const unsigned digit = (value >> (28 - 4 * i)) & 0xFu;
        query[kHexDigitsAt + i] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
    }
}

int names_installer_product(const char* text) {
    return equals_ignore_case_n(text, kInstallerProductText,
                                static_cast<int>(text_length(kInstallerProductText)));
}
