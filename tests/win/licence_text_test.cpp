#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/globals.h"
#include "common/memory.h"
#include "setup/licence_text.h"
#include "tests/win/message_recorder.h"
#include "tests/win/test_support.h"

// The agreement comes out of the resources byte for byte as licence.txt
// holds it, with CR LF line breaks and no final one; with the module's
// resources missing, a message says so and nothing is returned.
TEST(LicenceText, InflatesToTheAgreementOrReportsItsAbsence) {
    reset_setup_globals();
    std::string expected = read_file(windows_path(TONVARO_LICENCE_SOURCE));
    ASSERT_FALSE(expected.empty());
    expected.pop_back();
    for (size_t at = expected.find('\n'); at != std::string::npos;
         at = expected.find('\n', at + 2)) {
        expected.insert(at, 1, '\r');
    }
    char* text = load_licence_text();
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(8252u, std::string(text).size());
    EXPECT_EQ(expected, std::string(text));
    release_block(text);
    EXPECT_TRUE(recorded_messages().empty());

    g_setup.module_instance = GetModuleHandleA("kernel32.dll");
    EXPECT_EQ(nullptr, load_licence_text());
    ASSERT_EQ(1u, recorded_messages().size());
    EXPECT_EQ("The license agreement could not be read.", recorded_messages()[0].text);
}
