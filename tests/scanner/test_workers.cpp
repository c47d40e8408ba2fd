// Decoder workers against the stand-in decoder library (put first on LD_LIBRARY_PATH).
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "dec_worker.h"
#include "fake_corvane.h"

namespace {

CapGeom swemuGeom(int samples = 2400000)
{
    return CapGeom{samples, 6, 9, 2.4f, -0.8f, 0.2f};
}

BcchInfo cellInfo()
{
    BcchInfo info{};
    info.mcc = 0x250;
    info.mnc = 0x01F;
    info.lac = 0xBEEF;
    info.ci = 0xFFFF;
    // ARFCNs 1, 2, 10, 124, 600, 700, 800, 900, 950, 1000 and 0 (bit 1023)
    for (int a : {1, 2, 10, 124, 600, 700, 800, 900, 950, 1000, 1024}) {
        int bit = a - 1;
        info.arfcnMap[bit / 8] |= uint8_t(1 << (bit % 8));
    }
    return info;
}

TEST(Bcd, StopsAtTheFirstNonDigit)
{
    EXPECT_EQ(bcdValue(0x250), 250);
    EXPECT_EQ(bcdValue(0x01F), 1);
    EXPECT_EQ(bcdValue(0x02F), 2);
    EXPECT_EQ(bcdValue(0x99F), 99);
    EXPECT_EQ(bcdValue(0xF01), 0);
}

TEST(ArfcnMap, KeepsTheEightLowestCountingArfcnZeroAs1024)
{
    BcchInfo info = cellInfo();
    int32_t out[8];
    ASSERT_EQ(arfcnsFromMap(info.arfcnMap, out), 8);
    EXPECT_EQ(std::vector<int32_t>(out, out + 8), (std::vector<int32_t>{1, 2, 10, 124, 600, 700, 800, 900}));
    uint8_t only0[128] = {};
    only0[127] = 0x80;
    ASSERT_EQ(arfcnsFromMap(only0, out), 1);
    EXPECT_EQ(out[0], 1024);
    uint8_t none[128] = {};
    EXPECT_EQ(arfcnsFromMap(none, out), 0);
}

class Workers : public ::testing::Test {
protected:
    FakeCorvane fake;
};

TEST_F(Workers, DecodeEveryChannelAndReportTheCell)
{
    BcchInfo info = cellInfo();
    fake.set(3, &info);
    auto before = fake.counts();
    {
        DecWrk w;
        w.create();
        w.config(swemuGeom());
        EXPECT_EQ(w.takeRes(), nullptr) << "an idle worker has no result";
        std::vector<cs16> capture(2400000, cs16{100, -100});
        ASSERT_TRUE(w.submit(capture.data(), 27));
        EXPECT_FALSE(w.submit(capture.data(), 27)) << "a busy worker refuses";
        const DecResBlock* res = nullptr;
        for (int i = 0; i < 2000 && !res; ++i) {
            res = w.takeRes();
            if (!res)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_NE(res, nullptr);
        EXPECT_EQ(res->firstChan, 27);
        for (int i = 0; i < 9; ++i) {
            EXPECT_TRUE(res->res[i].found);
            EXPECT_EQ(res->res[i].mcc, 250);
            EXPECT_EQ(res->res[i].mnc, 1);
            EXPECT_EQ(res->res[i].lac, 0xBEEF);
            EXPECT_EQ(res->res[i].ci, 0xFFFF);
            EXPECT_EQ(res->res[i].n, 8);
        }
        EXPECT_EQ(w.takeRes(), nullptr) << "a result is taken once";
    }
    auto after = fake.counts();
    EXPECT_EQ(after.creates - before.creates, 1);
    EXPECT_EQ(after.destroys - before.destroys, 1);
    EXPECT_EQ(after.resets - before.resets, 9) << "one reset per channel";
    EXPECT_EQ(after.pushes - before.pushes, 9 * 3) << "pushing stops at the first result";
}

TEST_F(Workers, PushesEveryWholeFrameWhenNothingIsFound)
{
    fake.set(-1);
    auto before = fake.counts();
    DecWrk w;
    w.create();
    w.config(swemuGeom());
    std::vector<cs16> capture(2400000, cs16{0, 0});
    ASSERT_TRUE(w.submit(capture.data(), 0));
    w.waitIdle();   // waits for the busy worker and discards its result
    EXPECT_EQ(w.state(), wsIdle);
    auto after = fake.counts();
    // 390 blocks of 1024 give 540,800 resampled samples (+-1): frames while s + 2500 < total.
    int pushes = (after.pushes - before.pushes) / 9;
    EXPECT_GE(pushes, 216);
    EXPECT_LE(pushes, 217);
    EXPECT_EQ((after.pushes - before.pushes) % 9, 0);
}

TEST_F(Workers, FailedDecoderCreationLeavesNothingBehind)
{
    fake.set(1, nullptr, true);
    DecWrk w;
    try {
        w.create();
        FAIL() << "a decoder that cannot be created must fail the worker";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "!!! Can not load GSM DLL\n");
    }
    EXPECT_FALSE(w.created());
    fake.set(1, nullptr, false);
}

}  // namespace
