#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "console_log.h"
#include "scanner_test_util.h"
#include "swemu_sdr.h"
#include "wav_files.h"

namespace {

using ::testing::HasSubstr;

std::string openSwemuError()
{
    testing::internal::CaptureStdout();
    std::string what;
    try {
        SwemuSdr sdr("SWEMU");
    } catch (const std::runtime_error& e) {
        what = e.what();
    }
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find(what), std::string::npos) << "the reason is also logged";
    return what;
}

TEST(SwemuSdr, BadRecordingsAreRefusedWithTheirReason)
{
    TempDir dir;
    EXPECT_EQ(openSwemuError(), "!!! Error, can not open file swemu.wav for read\n");

    { FILE* f = std::fopen("swemu.wav", "wb"); std::fwrite("RIFF", 1, 4, f); std::fclose(f); }
    EXPECT_EQ(openSwemuError(), "!!! Error, wave file swemu.wav format unrecognized\n");

    WavSpec notRiff;
    notRiff.riff = "RIFX";
    writeWav("swemu.wav", rampIq(100), notRiff);
    testing::internal::CaptureStdout();
    EXPECT_THROW(SwemuSdr("SWEMU"), std::runtime_error);
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("!!! Error, input wav header is wrong\n"));

    WavSpec mono;
    mono.channels = 1;
    writeWav("swemu.wav", rampIq(100), mono);
    testing::internal::CaptureStdout();
    EXPECT_THROW(SwemuSdr("SWEMU"), std::runtime_error);
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("!!! Error, input wav mono/stereo mode is wrong\n"));

    WavSpec fast;
    fast.rate = 2400002;
    writeWav("swemu.wav", rampIq(100), fast);
    testing::internal::CaptureStdout();
    EXPECT_THROW(SwemuSdr("SWEMU"), std::runtime_error);
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("!!! Error, input wav sample rate is wrong\n"));
}

TEST(SwemuSdr, ToleratesRateWithinOneAndWrongRiffSize)
{
    TempDir dir;
    WavSpec spec;
    spec.rate = 2400001;
    spec.riffDelta = 12;
    writeWav("swemu.wav", rampIq(100), spec);
    testing::internal::CaptureStdout();
    SwemuSdr sdr("SWEMU");
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_THAT(out, HasSubstr("     0 Input wav size is wrong\n"));
    EXPECT_THAT(out, HasSubstr("     0   Files swemu.wav"));
}

TEST(SwemuSdr, PlaysInALoopAndNeverDeliversTheIncompleteTail)
{
    TempDir dir;
    const int n = 25000;
    auto ramp = rampIq(n);
    writeWav("swemu.wav", ramp);
    SwemuSdr sdr("SWEMU");
    sdr.start();
    std::vector<int16_t> buf(2 * 10000);
    ASSERT_EQ(sdr.read(buf.data(), 10000), 1);
    EXPECT_EQ(std::memcmp(buf.data(), ramp.data(), buf.size() * 2), 0);
    ASSERT_EQ(sdr.read(buf.data(), 10000), 1);
    EXPECT_EQ(std::memcmp(buf.data(), ramp.data() + 20000, buf.size() * 2), 0);
    // 5000 samples are left: the read wraps and delivers the file's first 10000.
    ASSERT_EQ(sdr.read(buf.data(), 10000), 1);
    EXPECT_EQ(std::memcmp(buf.data(), ramp.data(), buf.size() * 2), 0);
    // A read longer than the whole file fails every time.
    std::vector<int16_t> big(2 * 30000);
    EXPECT_EQ(sdr.read(big.data(), 30000), -1);
    EXPECT_EQ(sdr.read(big.data(), 30000), -1);
}

TEST(SwemuSdr, TruncatedRecordingIsNotPaddedWithStaleSamples)
{
    TempDir dir;
    // The header claims 4000 more samples than the file holds.
    WavSpec spec;
    spec.dataDelta = 16000;
    auto ramp = rampIq(10000);
    writeWav("swemu.wav", ramp, spec);
    SwemuSdr sdr("SWEMU");
    sdr.start();
    std::vector<int16_t> buf(2 * 6000, 0x5555);
    ASSERT_EQ(sdr.read(buf.data(), 6000), 1);
    // The second read would need samples past the real end: it wraps instead of inventing them.
    ASSERT_EQ(sdr.read(buf.data(), 6000), 1);
    EXPECT_EQ(std::memcmp(buf.data(), ramp.data(), buf.size() * 2), 0);
}

TEST(SwemuSdr, AcceptsOnlyItsRateFrequencyRangeAndGainZero)
{
    TempDir dir;
    writeWav("swemu.wav", rampIq(100));
    SwemuSdr sdr("SWEMU");
    EXPECT_TRUE(sdr.setRate(2.4f));
    EXPECT_FALSE(sdr.setRate(2.0f));
    EXPECT_TRUE(sdr.setFreq(935.0f));
    EXPECT_FALSE(sdr.setFreq(6000.5f));
    EXPECT_FALSE(sdr.setFreq(0.5f));
    EXPECT_EQ(sdr.freq(), 935.0f);
    EXPECT_FALSE(sdr.setGain(10.0f));
    EXPECT_TRUE(sdr.setGain(0.0f));
    EXPECT_EQ(sdr.gain(), 0.0f);
}

TEST(WavFiles, ReadsInChunksAndConvertsFloatMonoAndInverted)
{
    TempDir dir;
    // Float stereo: 9.0 and -9.0 saturate, 1.0 gives 4096.
    {
        FILE* f = std::fopen("f.raw", "wb");
        float v[] = {9.0f, -9.0f, 1.0f, -1.0f};
        std::fwrite(v, 4, 4, f);
        std::fclose(f);
    }
    WavFiles files;
    WavParams p;
    std::strcpy(p.name, "f.raw");
    p.format = kFmtFloat;
    p.rate = 1000;
    files.setParams(false, 0, p);
    ASSERT_TRUE(files.openAll());
    int16_t iq[4];
    ASSERT_TRUE(files.readSamples(0, iq, 2));
    EXPECT_EQ(iq[0], 32767);
    EXPECT_EQ(iq[1], -32768);
    EXPECT_EQ(iq[2], 4096);
    EXPECT_EQ(iq[3], -4096);
    files.closeAll();

    // Inverted int16: Q of -32768 reads as 32767.
    {
        FILE* f = std::fopen("i.raw", "wb");
        int16_t v[] = {5, -32768, 7, 100};
        std::fwrite(v, 2, 4, f);
        std::fclose(f);
    }
    WavFiles inv;
    WavParams q;
    std::strcpy(q.name, "i.raw");
    q.inv = true;
    q.rate = 1000;
    inv.setParams(false, 0, q);
    ASSERT_TRUE(inv.openAll());
    ASSERT_TRUE(inv.readSamples(0, iq, 2));
    EXPECT_EQ(iq[1], 32767);
    EXPECT_EQ(iq[3], -100);

    // Mono: quarter-rate shift with the Q branch averaged over two steps.
    {
        FILE* f = std::fopen("m.raw", "wb");
        int16_t v[] = {10, 20, 30, 40, 50, 61};
        std::fwrite(v, 2, 6, f);
        std::fclose(f);
    }
    WavFiles mono;
    WavParams m;
    std::strcpy(m.name, "m.raw");
    m.numChans = 1;
    m.rate = 1000;
    mono.setParams(false, 0, m);
    ASSERT_TRUE(mono.openAll());
    int16_t out[6];
    ASSERT_TRUE(mono.readSamples(0, out, 3));
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[1], -10);          // (-20 + 0) / 2
    EXPECT_EQ(out[2], -30);
    EXPECT_EQ(out[3], 10);           // (40 - 20) / 2
    EXPECT_EQ(out[4], 50);
    EXPECT_EQ(out[5], -10);          // (-61 + 40) / 2 toward zero
}

TEST(WavFiles, OutputHeaderRoundTrips)
{
    TempDir dir;
    {
        WavFiles out;
        WavParams p;
        std::strcpy(p.name, "o.wav");
        p.rate = 2400000;
        out.setParams(true, 0, p);
        ASSERT_TRUE(out.openAll());
        out.closeAll();
    }
    FILE* f = std::fopen("o.wav", "rb");
    ASSERT_NE(f, nullptr);
    unsigned char h[44];
    ASSERT_EQ(std::fread(h, 1, 44, f), 44u);
    std::fclose(f);
    EXPECT_EQ(std::memcmp(h, "RIFF", 4), 0);
    EXPECT_EQ(h[4], 36);
    EXPECT_EQ(std::memcmp(h + 36, "data", 4), 0);
    uint32_t rate;
    std::memcpy(&rate, h + 24, 4);
    EXPECT_EQ(rate, 2400000u);
}

TEST(ConsoleLog, PrefixesEveryMessage)
{
    testing::internal::CaptureStdout();
    logPrintf("abc\n");
    logPrintf("no end");
    logVerbose("x%d\n", 5);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "     0 abc\n     0 no end     0 x5\n");
}

}  // namespace
