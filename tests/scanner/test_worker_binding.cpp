// A decoder library that is missing, or that lacks its table, gives the load message.
#include <gtest/gtest.h>

#include <stdexcept>

#include "dec_worker.h"

TEST(WorkerBinding, UnusableLibraryGivesTheLoadMessage)
{
    DecWrk w;
    try {
        w.create();
        FAIL() << "the worker must not start without a decoder";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "!!! Can not load GSM DLL\n");
    }
    EXPECT_FALSE(w.created());
}
