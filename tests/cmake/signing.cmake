# The tree's setup program signed with a test certificate and checked with
# osslsigncode; the end-to-end case then installs from the signed copy.
add_test(NAME signing.setup_signs_and_verifies
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/tools/sign_setups.sh ${CMAKE_BINARY_DIR}/signed
        ${TONVARO_WINEARCH}=$<TARGET_FILE:setup>)
set_tests_properties(signing.setup_signs_and_verifies PROPERTIES
    FIXTURES_SETUP signed_setups TIMEOUT 120)
set_tests_properties(e2e.signed_setup.signed_setup_installs PROPERTIES
    FIXTURES_REQUIRED "wine;signed_setups")
