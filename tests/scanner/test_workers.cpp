// Decoder workers against the stand-in decoder library (put first on LD_LIBRARY_PATH).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

#include "dec_worker.h"
#include "fake_corvane.h"

namespace {

const CapGeom kSwemuGeom{2400000, 6, 9, 2.4f, -0.8f, 0.2f};

// ARFCNs 1, 2, 10, 124, 600, 700, 800, 900, 950, 1000 and 0 (bit 1023).
BcchInfo cellInfo()
{
    BcchInfo info{};
    info.mcc = 0x250;
    info.mnc = 0x01F;
    info.lac = 0xBEEF;
    info.ci = 0xFFFF;
    for (int a : {1, 2, 10, 124, 600, 700, 800, 900, 950, 1000, 1024})
        info.arfcnMap[(a - 1) / 8] |= uint8_t(1 << ((a - 1) % 8));
    return info;
}

TEST(CellFields, BcdStopsAtTheFirstNonDigitAndListsKeepTheEightLowest)
{
    const std::pair<uint16_t, int> bcd[] = {{0x250, 250}, {0x01F, 1}, {0x02F, 2}, {0x99F, 99}, {0xF01, 0}};
    for (auto [w, v] : bcd)
        EXPECT_EQ(bcdValue(w), v) << std::hex << w;
    int32_t out[8];
    ASSERT_EQ(arfcnsFromMap(cellInfo().arfcnMap, out), 8);
    EXPECT_EQ(std::vector<int32_t>(out, out + 8), (std::vector<int32_t>{1, 2, 10, 124, 600, 700, 800, 900}));
    uint8_t map[128] = {};
    EXPECT_EQ(arfcnsFromMap(map, out), 0);
    map[127] = 0x80;   // ARFCN 0 counts as 1024
    ASSERT_EQ(arfcnsFromMap(map, out), 1);
    EXPECT_EQ(out[0], 1024);
}

class Workers : public ::testing::Test {
protected:
    FakeCorvaneState& fake = fakeCorvane();
};

TEST_F(Workers, DecodeEveryChannelAndReportTheCell)
{
    fake.framesToDecode = 3;
    fake.cell = cellInfo();
    const int creates = fake.creates, resets = fake.resets, pushes = fake.pushes, destroys = fake.destroys;
    {
        DecWrk w;
        w.create();
        w.config(kSwemuGeom);
        EXPECT_EQ(w.takeRes(), nullptr) << "an idle worker has no result";
        std::vector<cs16> capture(2400000, cs16{100, -100});
        ASSERT_TRUE(w.submit(capture.data(), 27));
        EXPECT_FALSE(w.submit(capture.data(), 27)) << "a busy worker refuses";
        const DecResBlock* res = nullptr;
        for (int i = 0; i < 12000 && !res; ++i) {   // two minutes: slow under ThreadSanitizer
            res = w.takeRes();
            if (!res)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_NE(res, nullptr);
        EXPECT_EQ(res->firstChan, 27);
        for (const DecRes& r : std::vector<DecRes>(res->res, res->res + 9))
            EXPECT_EQ(std::tie(r.found, r.mcc, r.mnc, r.lac, r.ci, r.n), std::make_tuple(1, 250, 1, 0xBEEF, 0xFFFF, 8));
        EXPECT_EQ(w.takeRes(), nullptr) << "a result is taken once";
    }
    EXPECT_EQ(fake.creates - creates, 1);
    EXPECT_EQ(fake.destroys - destroys, 1);
    EXPECT_EQ(fake.resets - resets, 9) << "one reset per channel";
    EXPECT_EQ(fake.pushes - pushes, 9 * 3) << "pushing stops at the first result";
}

TEST_F(Workers, PushesEveryWholeFrameWhenNothingIsFound)
{
    fake.framesToDecode = -1;
    const int before = fake.pushes;
    DecWrk w;
    w.create();
    w.config(kSwemuGeom);
    std::vector<cs16> capture(2400000, cs16{0, 0});
    ASSERT_TRUE(w.submit(capture.data(), 0));
    w.waitIdle();   // waits for the busy worker and discards its result
    EXPECT_EQ(w.state(), wsIdle);
    // 390 blocks of 1024 give 540,800 resampled samples (+-1): frames while s + 2500 < total.
    const int pushes = fake.pushes - before;
    EXPECT_EQ(pushes % 9, 0);
    EXPECT_GE(pushes / 9, 216);
    EXPECT_LE(pushes / 9, 217);
}

}  // namespace
