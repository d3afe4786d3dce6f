#include "extensions/add_on_rules.h"

#include "common/text.h"

int carries_extension_marker(const char* private_build) {
    return equals_ignore_case_n(private_build, kExtensionMarker,
                                static_cast<int>(text_length(kExtensionMarker)));
}

DuplicateOutcome decide_by_version(const FileVersionAnswer& added, const FileVersionAnswer& listed) {
    // A version on one side only says nothing about which is newer: the file
    // found first stays.
    if (added.found != 1 || listed.found != 1) {
        return (added.found != 1 && listed.found != 1) ? kCompareCreationTimes : kKeepListed;
    }
    if (added.most_significant != listed.most_significant) {
        return added.most_significant > listed.most_significant ? kReplaceListed : kKeepListed;
    }
    if (added.least_significant != listed.least_significant) {
        return added.least_significant > listed.least_significant ? kReplaceListed : kKeepListed;
    }
    return kCompareCreationTimes;
}

DuplicateOutcome decide_by_creation_time(int added_read, int listed_read, long comparison) {
    if (!added_read || !listed_read) return kKeepListed;
    return comparison > 0 ? kReplaceListed : kKeepListed;
}

int is_reboot_request(unsigned exit_code) {
    return (exit_code & 0xFF000000u) == 0x42000000u && (exit_code & 0x10000u) != 0;
}
