#pragma once
// The licence agreement the licence dialog shows, with CR LF line breaks
// because that is what a multi-line edit control breaks lines on. It is
// stored compressed in the resources (tools/make_licence.py makes it from
// setup/licence.txt).

// A heap block holding the agreement, terminated by a zero byte, for
// release_block; null after a message when it cannot be had.
char* load_licence_text();
