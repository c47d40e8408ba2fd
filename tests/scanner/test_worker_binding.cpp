// Run twice: with no libcorvane.so on the path, and with one that lacks GSM_vtab.
#include <gtest/gtest.h>

#include "dec_worker.h"
#include "scanner_test_util.h"

TEST(WorkerBinding, UnusableLibraryGivesTheLoadMessage)
{
    DecWrk w;
    EXPECT_EQ(errorOf([&] { w.create(); }), "!!! Can not load GSM DLL\n");
    EXPECT_FALSE(w.created());
}
