// Receiver listing and the RTL-SDR receiver against the stand-in librtlsdr.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

#include "fake_rtlsdr.h"
#include "rtl_sdr.h"
#include "scanner_test_util.h"
#include "scratch_pool.h"
#include "sdr_list.h"

namespace {

TEST(ScratchPool, ServesUpToItsCapacity)
{
    ScrPool::init();
    void* p = ScrPool::get(1048576, 1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(ScrPool::get(3072, 0), ScrPool::get(8, 0));
    EXPECT_NE(ScrPool::find(p), ScrPool::end());
    EXPECT_EQ(ScrPool::find(&p), ScrPool::end());
    testing::internal::CaptureStdout();
    EXPECT_THROW(ScrPool::get(1048577, 2), std::runtime_error);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "     0 !!! MALLOC SCRT ERR\n");
}

TEST(ReceiverList, DonglesInIndexOrderThenTheFileReceiver)
{
    TempDir dir;
    // R820T, unknown tuner, busy, R820T, FC0012, no USB strings.
    fakertl::reset({{}, {.tuner = 0}, {.opens = false}, {}, {.tuner = 2}, {.stringsOk = false}});
    EXPECT_EQ(findSdrs().size(), 3u);
    ASSERT_EQ(sdrList.size(), 3u);
    EXPECT_EQ(sdrList[0].name, "RTLSDR R820T 0");
    EXPECT_EQ(sdrList[1].name, "RTLSDR R820T 3");
    EXPECT_EQ(sdrList[2].name, "RTLSDR FC0012 4");
    EXPECT_EQ(fakertl::openCount(), fakertl::closeCount());

    // An invalid recording is still listed: only its existence counts here.
    writeFile("swemu.wav", "junk", 4);
    findSdrs();
    ASSERT_EQ(sdrList.size(), 4u);
    EXPECT_EQ(sdrList[3].name, "SWEMU");
    testing::internal::CaptureStdout();
    EXPECT_THROW(createSdr("SWEMU"), std::runtime_error);
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(createSdr("RTLSDR R820T"), nullptr);
    EXPECT_NE(createSdr("RTLSDR R820T 3"), nullptr);
    fakertl::reset({});
    std::remove("swemu.wav");
    EXPECT_TRUE(findSdrs().empty());
}

TEST(RtlSdr, OpensByTrailingIndexAndFailsClearly)
{
    fakertl::reset({{}, {.opens = false}});
    for (const char* name : {"RTLSDR R820T 1", "RTLSDR R820T 7"}) {
        try {
            RtlSdr sdr(name);
            ADD_FAILURE() << name << ": a dongle that cannot be opened must not make a receiver";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "RTL-SDR cannot create device");
        }
    }
    RtlSdr noDigits("RTLSDR");   // no digits after the last blank: device 0
    EXPECT_EQ(fakertl::sampleRate(), 2000000u);
}

TEST(RtlSdr, GainRoundsToTheNearestListedAndRateIsConfirmedByReadBack)
{
    fakertl::reset({{.gains = {229, 254, 280}}, {.rateReadsBackWrong = true}});
    {
        RtlSdr sdr("RTLSDR R820T 0");
        // 26.7 dB lies midway between 25.4 and 28.0: a tie takes the earlier entry.
        const std::pair<float, int> asked[] = {{25.4f, 254}, {26.7f, 254}, {49.6f, 280}};
        for (auto [db, tenths] : asked) {
            EXPECT_TRUE(sdr.setGain(db));
            EXPECT_EQ(fakertl::tunerGain(), tenths) << db;
        }
        EXPECT_FLOAT_EQ(sdr.gain(), 28.0f);
        EXPECT_TRUE(sdr.setRate(2.4f));
        EXPECT_EQ(fakertl::sampleRate(), 2400000u);
        EXPECT_TRUE(sdr.setFreq(935.0f));
    }
    RtlSdr sdr("RTLSDR R820T 1");
    EXPECT_FALSE(sdr.setRate(2.4f));
}

TEST(RtlSdr, ReadsConvertWholeBlocksAndDropTheRest)
{
    fakertl::reset({FakeRtlDevice{}});
    RtlSdr sdr("RTLSDR R820T 0");
    sdr.start();
    std::vector<int16_t> iq(2 * 9600, 0x7777);
    ASSERT_EQ(sdr.read(iq.data(), 9600), 1);
    // Samples start at a block's beginning: find its number from the first byte, then check the
    // conversion across three blocks of 8192 bytes.
    int block = -1;
    for (int b = 0; b < 255 && block < 0; ++b)
        if (fakertl::streamByte(b, 0) == iq[0] / 256 + 127)
            block = b;
    ASSERT_GE(block, 0);
    for (int i = 0; i < 19200; ++i)
        ASSERT_EQ(iq[size_t(i)], (fakertl::streamByte(block + i / 8192, i % 8192) - 127) * 256) << i;
    EXPECT_EQ(sdr.read(iq.data(), 0), 1);
    sdr.stop();
    sdr.start();
    EXPECT_EQ(sdr.read(iq.data(), 100), 1);
    sdr.stop();
}

TEST(RtlSdr, DongleThatStopsDeliveringGivesAnErrorNotAHang)
{
    fakertl::reset({{.blocksBeforeStall = 2}});
    RtlSdr::setReadTimeoutMs(200);
    RtlSdr sdr("RTLSDR R820T 0");
    sdr.start();
    std::vector<int16_t> iq(2 * 100000);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(sdr.read(iq.data(), 100000), -1);
    EXPECT_EQ(sdr.read(iq.data(), 10), -1);
    sdr.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    RtlSdr::setReadTimeoutMs(2000);
}

}  // namespace
