#pragma once
// The vendor's web presence. A macro as well as constants, so that the pages
// below it are joined at compile time without a runtime composition.

#define TONVARO_VENDOR_SITE "http://www.quenvale.example"

constexpr const char* kVendorSite = TONVARO_VENDOR_SITE;
constexpr const char* kProductPage = TONVARO_VENDOR_SITE "/products/0014";
