// The update check asks nobody about a reserved name that can never resolve.
#include <gtest/gtest.h>

#include "update/update_check.h"

TEST(UpdateCheck, ReservedNamesAreNeverLookedUp) {
    struct Case {
        const char* host;
        bool neverResolves;
    };
    const Case cases[] = {
        {"vornhalzanthery.invalid", true}, {"VORNHAL.Invalid", true}, {"a.b.invalid.", true}, {"invalid", true},
        {"example.org", false},            {"invalid.example", false}, {"myinvalid", false},  {"x.invalids", false},
        {"127.0.0.1", false},              {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isNeverResolvingHost(c.host), c.neverResolves) << c.host;
    EXPECT_FALSE(checkForUpdate(makerVersionTarget())) << "the default build's host";
}
