// Run twice: with no libcorvane.so on the path, and with one that lacks GSM_vtab.
#include <gtest/gtest.h>

#include <stdexcept>

#include "dec_worker.h"

TEST(WorkerBinding, UnusableLibraryGivesTheLoadMessage)
{
    DecWrk w;
    try {
        w.create();
        ADD_FAILURE() << "the worker must not start without a decoder";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "!!! Can not load GSM DLL\n");
    }
    EXPECT_FALSE(w.created());
}
