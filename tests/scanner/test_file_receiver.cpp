// The file receiver and the recording reader under it.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "console_log.h"
#include "scanner_test_util.h"
#include "swemu_sdr.h"
#include "wav_files.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr const char* kUnrecognized = "!!! Error, wave file swemu.wav format unrecognized\n";

// Opening swemu.wav must throw `what`, with the reason and `what` in the log.
void expectRefused(const char* reason, const char* what = kUnrecognized)
{
    CaptureStdout();
    std::string thrown;
    try {
        SwemuSdr sdr("SWEMU");
    } catch (const std::runtime_error& e) {
        thrown = e.what();
    }
    const std::string log = GetCapturedStdout();
    EXPECT_EQ(thrown, what) << reason;
    EXPECT_NE(log.find(reason), std::string::npos) << log;
    EXPECT_NE(log.find(what), std::string::npos) << log;
}

TEST(SwemuSdr, BadRecordingsAreRefusedWithTheirReason)
{
    TempDir dir;
    expectRefused("!!! Error, can not open file swemu.wav for read\n", "!!! Error, can not open file swemu.wav for read\n");
    writeFile("swemu.wav", "RIFF", 4);
    expectRefused("!!! Error, input wav header is absent\n");
    writeWav("swemu.wav", rampIq(100), {.riff = "RIFX"});
    expectRefused("!!! Error, input wav header is wrong\n");
    writeWav("swemu.wav", rampIq(100), {.channels = 1});
    expectRefused("!!! Error, input wav mono/stereo mode is wrong\n");
    writeWav("swemu.wav", rampIq(100), {.rate = 2400002});
    expectRefused("!!! Error, input wav sample rate is wrong\n");
}

TEST(SwemuSdr, ToleratesRateWithinOneAndWrongRiffSize)
{
    TempDir dir;
    writeWav("swemu.wav", rampIq(100), {.rate = 2400001, .riffDelta = 12});
    CaptureStdout();
    SwemuSdr sdr("SWEMU");
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("     0 Input wav size is wrong\n"), std::string::npos) << out;
    EXPECT_NE(out.find("     0   Files swemu.wav"), std::string::npos) << out;
    // Only its rate, frequency range and gain 0 are accepted.
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

TEST(SwemuSdr, PlaysInALoopAndNeverDeliversTheIncompleteTail)
{
    TempDir dir;
    const auto ramp = rampIq(25000);
    writeWav("swemu.wav", ramp);
    SwemuSdr sdr("SWEMU");
    sdr.start();
    std::vector<int16_t> buf(2 * 10000);
    // 10000 + 10000, then 5000 are left: the read wraps and delivers the file's first 10000.
    for (size_t from : {0, 20000, 0}) {
        ASSERT_EQ(sdr.read(buf.data(), 10000), 1);
        EXPECT_EQ(std::memcmp(buf.data(), ramp.data() + from, buf.size() * 2), 0) << from;
    }
    std::vector<int16_t> big(2 * 30000);
    EXPECT_EQ(sdr.read(big.data(), 30000), -1) << "longer than the whole file";
    EXPECT_EQ(sdr.read(big.data(), 30000), -1);

    // A truncated recording: the header claims 4000 more samples than the file holds. The read
    // that would need them wraps instead of inventing samples.
    writeWav("swemu.wav", rampIq(10000), {.dataDelta = 16000});
    SwemuSdr cut("SWEMU");
    cut.start();
    ASSERT_EQ(cut.read(buf.data(), 6000), 1);
    std::fill(buf.begin(), buf.end(), 0x5555);
    ASSERT_EQ(cut.read(buf.data(), 6000), 1);
    EXPECT_EQ(std::memcmp(buf.data(), ramp.data(), 6000 * 4), 0);
}

// Opens a raw input with the given settings and reads n complex samples.
std::vector<int16_t> readRaw(WavParams p, int n)
{
    WavFiles files;
    std::strcpy(p.name, "in.raw");
    p.rate = 1000;
    files.setParams(false, 0, p);
    EXPECT_TRUE(files.openAll());
    std::vector<int16_t> iq(2 * size_t(n));
    EXPECT_TRUE(files.readSamples(0, iq.data(), n));
    return iq;
}

TEST(WavFiles, ConvertsFloatInvertedAndMonoInput)
{
    TempDir dir;
    // Float: 9.0 and -9.0 saturate, 1.0 gives 4096.
    const float f[] = {9.0f, -9.0f, 1.0f, -1.0f};
    writeFile("in.raw", f, sizeof f);
    EXPECT_EQ(readRaw({.format = kFmtFloat}, 2), (std::vector<int16_t>{32767, -32768, 4096, -4096}));
    // Inverted: Q is negated, -32768 reads as 32767.
    const int16_t inv[] = {5, -32768, 7, 100};
    writeFile("in.raw", inv, sizeof inv);
    EXPECT_EQ(readRaw({.inv = true}, 2), (std::vector<int16_t>{5, 32767, 7, -100}));
    // Mono: a quarter-rate shift with the Q branch averaged over two steps, rounded toward zero.
    const int16_t mono[] = {10, 20, 30, 40, 50, 61};
    writeFile("in.raw", mono, sizeof mono);
    EXPECT_EQ(readRaw({.numChans = 1}, 3), (std::vector<int16_t>{10, -10, -30, 10, 50, -10}));
}

TEST(WavFiles, OutputHeaderReadsBackWithoutComplaint)
{
    TempDir dir;
    WavParams p;
    std::strcpy(p.name, "o.wav");
    p.rate = 2400000;
    {
        WavFiles out;
        out.setParams(true, 0, p);
        ASSERT_TRUE(out.openAll());
    }
    WavFiles in;
    p.rate = 0;   // from the header
    in.setParams(false, 0, p);
    CaptureStdout();
    ASSERT_TRUE(in.openAll());
    EXPECT_EQ(GetCapturedStdout().find("size is wrong"), std::string::npos);
    EXPECT_EQ(in.inputRate(0), 2400000);
    EXPECT_EQ(in.inputSamples(0), 0);
}

TEST(ConsoleLog, PrefixesEveryMessage)
{
    CaptureStdout();
    logPrintf("abc\n");
    logPrintf("no end");
    logVerbose("x%d\n", 5);
    EXPECT_EQ(GetCapturedStdout(), "     0 abc\n     0 no end     0 x5\n");
}

}  // namespace
