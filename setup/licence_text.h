#pragma once
// The licence agreement the licence dialog shows, with CR LF line breaks
// because that is what a multi-line edit control breaks lines on.

extern const char kLicenceText[];
