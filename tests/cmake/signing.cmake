# Both setup programs signed with a test certificate and checked with
# osslsigncode; the end-to-end case then installs from the signed x86_64 copy.
# The i686 program comes from the i686 tree beside this one (make builds both).
set(TONVARO_I686_SETUP ${CMAKE_BINARY_DIR}/../win32/setup.exe CACHE FILEPATH
    "the i686 setup program to sign in the signing test")
add_test(NAME signing.both_setups_sign_and_verify
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/tools/sign_setups.sh ${CMAKE_BINARY_DIR}/signed
        win32=${TONVARO_I686_SETUP} win64=$<TARGET_FILE:setup>)
set_tests_properties(signing.both_setups_sign_and_verify PROPERTIES
    FIXTURES_SETUP signed_setups TIMEOUT 120)
set_tests_properties(e2e.signed_setup.signed_setup_installs PROPERTIES
    FIXTURES_REQUIRED "wine;signed_setups")
