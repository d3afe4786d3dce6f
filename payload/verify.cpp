#include "payload/verify.h"

#include <windows.h>

#include "common/globals.h"
#include "payload/format.h"

int verify_payload(const unsigned char** body, const unsigned char** end) {
    // The payload is checked where the loader mapped it: resource memory is
    // read-only, and a copy of megabytes would buy nothing.
    HRSRC resource = FindResourceA(g_setup.module_instance, MAKEINTRESOURCEA(kPayloadResourceId),
                                   kPayloadResourceType);
    if (resource == nullptr) return 0;
    const DWORD size = SizeofResource(g_setup.module_instance, resource);
    if (size < kPayloadMinimumSize) return 0;
    HGLOBAL loaded = LoadResource(g_setup.module_instance, resource);
    if (loaded == nullptr) return 0;
    const unsigned char* payload = static_cast<const unsigned char*>(LockResource(loaded));
    if (payload == nullptr) return 0;
    if (!payload_crc_matches(payload, size)) return 0;
    *body = payload + 4;
    *end = payload + size;
    return 1;
}
