// Tests that need a tool or a right from outside the project (a reader that
// is not ours, the right to mount a small disk): where it is missing, the
// test is skipped on a developer's machine but fails under CI (the
// environment variable CI set), so that a CI run never passes without
// having checked what the test is there for.
#pragma once

#include <QtGlobal>

#include <gtest/gtest.h>

namespace testsupport {

inline bool underCi() { return qEnvironmentVariableIsSet("CI"); }

} // namespace testsupport

/// Ends the test (or the helper it stands in) when available is false:
/// FAIL under CI, GTEST_SKIP elsewhere, with why as the message.
#define QB_NEED_OUTSIDE(available, why)                                                                   \
    do {                                                                                                   \
        if (!(available)) {                                                                                \
            if (::testsupport::underCi())                                                                  \
                FAIL() << (why) << " (required under CI)";                                                 \
            GTEST_SKIP() << (why);                                                                         \
        }                                                                                                  \
    } while (false)
