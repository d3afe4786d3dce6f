#pragma once

// Finds the payload in the program's own resources and checks its CRC.
// On success stores the position of its entry count in *body and the
// position after its last byte in *end, and answers 1; otherwise answers 0
// and leaves both untouched.
int verify_payload(const unsigned char** body, const unsigned char** end);
