// The receivers: the file receiver and the recording reader under it, the receiver list, and the
// RTL-SDR receiver against the stand-in librtlsdr.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "console_log.h"
#include "engine_receiver.h"
#include "fake_rtlsdr.h"
#include "rtl_sdr.h"
#include "scan_engine.h"
#include "scanner_test_util.h"
#include "scratch_pool.h"
#include "sdr_list.h"
#include "swemu_sdr.h"
#include "wav_files.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr const char* kUnrecognized = "!!! Error, wave file swemu.wav format unrecognized\n";

// Opening swemu.wav must fail with a LoggedError carrying `what`; the log holds the list of
// streams, the reason and `what`, each once.
void expectRefused(const std::string& reason, const char* what = kUnrecognized)
{
    CaptureStdout();
    std::string thrown = "(no failure)";
    try {
        SwemuSdr sdr("SWEMU");
    } catch (const LoggedError& e) {
        thrown = e.what();
    }
    const std::string log = GetCapturedStdout();
    EXPECT_EQ(thrown, what) << reason;
    std::string expected = "     0   Files swemu.wav       \n     0 " + reason;
    if (reason != what)
        expected += "     0 " + std::string(what);
    EXPECT_EQ(log, expected);
}

TEST(SwemuSdr, RefusesBadRecordingsWithTheirReasonAndToleratesRateWithinOneAndWrongRiffSize)
{
    TempDir dir;
    expectRefused("!!! Error, can not open file swemu.wav for read\n", "!!! Error, can not open file swemu.wav for read\n");
    writeFile("swemu.wav", "RIFF", 4);
    expectRefused("!!! Error, input wav header is absent\n");
    // Cut inside the header.
    writeWav("swemu.wav", {});
    std::filesystem::resize_file("swemu.wav", 43);
    expectRefused("!!! Error, input wav header is absent\n");
    const WavSpec wrong[] = {{.riff = "RIFX"}, {.wave = "WAVX"},      {.fmt = "fmt_"},
                             {.fmtSize = 18},  {.tag = 3, .bits = 32}, {.data = "LIST"}};
    for (const WavSpec& spec : wrong) {
        writeWav("swemu.wav", rampIq(100), spec);
        expectRefused("!!! Error, input wav header is wrong\n");
    }
    writeWav("swemu.wav", rampIq(100), {.channels = 1});
    expectRefused("!!! Error, input wav mono/stereo mode is wrong\n");
    writeWav("swemu.wav", rampIq(100), {.rate = 2400002});
    expectRefused("!!! Error, input wav sample rate is wrong\n");

    writeWav("swemu.wav", rampIq(100), {.rate = 2400001, .riffDelta = 12});
    CaptureStdout();
    SwemuSdr sdr("SWEMU");
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("     0 Input wav size is wrong\n"), std::string::npos) << out;
    EXPECT_NE(out.find("     0   Files swemu.wav"), std::string::npos) << out;
    // Only its rate, frequency range and gain 0 are accepted.
    EXPECT_EQ((std::vector<bool>{sdr.setRate(2.4f), sdr.setRate(2.0f), sdr.setFreq(935.0f), sdr.setFreq(6000.5f),
                                 sdr.setFreq(0.5f), sdr.setGain(10.0f), sdr.setGain(0.0f)}),
              (std::vector<bool>{true, false, true, false, false, false, true}));
    EXPECT_EQ(sdr.freq(), 935.0f);
    EXPECT_EQ(sdr.gain(), 0.0f);
}

TEST(SwemuSdr, PlaysInALoopAndNeverDeliversTheIncompleteTail)
{
    TempDir dir;
    const auto ramp = rampIq(25000);
    writeWav("swemu.wav", ramp);
    SwemuSdr sdr("SWEMU");
    sdr.start();
    std::vector<int16_t> buf(2 * 10000), big(2 * 30000);
    // 10000 + 10000, then 5000 are left: the read wraps and delivers the file's first 10000. A
    // read longer than the whole file in between is no read at all: it moves nothing.
    for (size_t from : {0, 20000, 0}) {
        ASSERT_EQ(sdr.read(buf.data(), 10000), kReadDelivered);
        EXPECT_EQ(std::memcmp(buf.data(), ramp.data() + from, buf.size() * 2), 0) << from;
        EXPECT_EQ(sdr.read(big.data(), 25001), kReadBeyondRecording);
    }
    sdr.start();
    EXPECT_EQ(sdr.read(big.data(), 25000), kReadDelivered) << "the whole file";
    EXPECT_EQ(std::memcmp(big.data(), ramp.data(), ramp.size() * 2), 0);

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

// A recording over 4 GiB, its size fields at 0xFFFFFFFF, the most they can count: it plays all
// they count. A sparse file costs no disk; one that cannot be made fails the test.
TEST(SwemuSdr, RecordingOver4GiBPlaysAllItsHeaderCounts)
{
    TempDir dir;
    std::vector<int16_t> capture(2 * 2400000), expected = rampIq(10000);
    const size_t rampValues = expected.size();
    expected.resize(capture.size());   // the rest of the sparse file reads as zeros
    for (uint64_t bytes : {(4ull << 30) + (4u << 20), 5ull << 30}) {
        SCOPED_TRACE(bytes);
        writeWav("swemu.wav", {expected.begin(), expected.begin() + rampValues});
        setWavSizes("swemu.wav", 0xFFFFFFFF, 0xFFFFFFFF);
        std::filesystem::resize_file("swemu.wav", bytes);
        {
            WavFiles files;
            WavParams p;
            std::strcpy(p.name, SwemuSdr::kFileName);
            p.rate = 2400000;
            files.setParams(false, 0, p);
            CaptureStdout();
            ASSERT_TRUE(files.openAll());
            EXPECT_NE(GetCapturedStdout().find("     0 Input wav size is wrong\n"), std::string::npos);
            EXPECT_EQ(files.inputSamples(0), 1073741823);
        }
        SwemuSdr sdr("SWEMU");
        sdr.start();
        std::fill(capture.begin(), capture.end(), 0x5555);
        ASSERT_EQ(sdr.read(capture.data(), 2400000), kReadDelivered);
        EXPECT_TRUE(capture == expected);
    }
}

// The descriptor this process holds open on the file `name`, -1 when there is none.
int descriptorOf(const char* name)
{
    const std::filesystem::path target = std::filesystem::canonical(name);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(entry.path(), ec) == target)
            return std::stoi(entry.path().filename().string());
    }
    return -1;
}

// A recording cut while it plays is too short for the read it no longer holds, and the reads it
// holds go on from its start; a file that still holds the samples but cannot be read has failed.
TEST(SwemuSdr, RecordingCutWhilePlayingIsTooShortAndAReadErrorFails)
{
    TempDir dir;
    const auto ramp = rampIq(25000);
    std::vector<int16_t> buf(2 * 10000);
    {
        writeWav("swemu.wav", ramp);
        SwemuSdr sdr("SWEMU");
        sdr.start();
        ASSERT_EQ(sdr.read(buf.data(), 10000), kReadDelivered);
        std::filesystem::resize_file("swemu.wav", 44 + 5000 * 4);
        EXPECT_EQ(sdr.read(buf.data(), 10000), kReadBeyondRecording);
        for (size_t from : {0, 4000, 0}) {   // 1000 samples are left after the second: it wraps
            ASSERT_EQ(sdr.read(buf.data(), 2000), kReadDelivered);
            EXPECT_EQ(std::memcmp(buf.data(), ramp.data() + from, 2000 * 4), 0) << from;
        }
        EXPECT_EQ(sdr.read(buf.data(), 10000), kReadBeyondRecording);
    }
    writeWav("swemu.wav", ramp);
    SwemuSdr sdr("SWEMU");
    sdr.start();
    // The stream's descriptor swapped for another on the same file, at the same offset.
    const int fd = descriptorOf("swemu.wav");
    ASSERT_GE(fd, 0);
    auto reopen = [fd](int flags) {
        const int other = open("swemu.wav", flags);
        lseek(other, lseek(fd, 0, SEEK_CUR), SEEK_SET);
        ASSERT_EQ(dup2(other, fd), fd);
        close(other);
    };
    // Write-only: every read fails, while the file's size stays.
    reopen(O_WRONLY);
    EXPECT_EQ(sdr.read(buf.data(), 10000), kReadFailed);
    // Once the file reads again, the reads go on from its first sample.
    reopen(O_RDONLY);
    ASSERT_EQ(sdr.read(buf.data(), 10000), kReadDelivered);
    EXPECT_EQ(std::memcmp(buf.data(), ramp.data(), 10000 * 4), 0);
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
    // Float: 1.0 gives 4096, truncated toward zero; 9.0, infinities and huge values saturate;
    // NaN reads as silence.
    const float inf = std::numeric_limits<float>::infinity();
    const float f[] = {9.0f, -9.0f, 1.0f, -1.0f, -1.5f / 4096, std::nanf(""), inf, -inf, 1e30f, -1e30f};
    writeFile("in.raw", f, sizeof f);
    EXPECT_EQ(readRaw({.format = kFmtFloat}, 5),
              (std::vector<int16_t>{32767, -32768, 4096, -4096, -1, 0, 32767, -32768, 32767, -32768}));
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
    for (int32_t format : {kFmtInt16, kFmtFloat}) {
        WavParams p;
        std::strcpy(p.name, "o.wav");
        p.rate = 2400000;
        p.format = format;
        {
            WavFiles out;
            out.setParams(true, 0, p);
            ASSERT_TRUE(out.openAll());
        }
        WavFiles in;
        p.rate = 0;   // from the header
        in.setParams(false, 0, p);
        CaptureStdout();
        ASSERT_TRUE(in.openAll()) << format;
        EXPECT_EQ(GetCapturedStdout().find("size is wrong"), std::string::npos);
        EXPECT_EQ(in.inputRate(0), 2400000);
        EXPECT_EQ(in.inputSamples(0), 0);
    }
}

TEST(ScratchPool, ServesUpToItsCapacity)
{
    ScrPool::init();
    void* p = ScrPool::get(1048576, 1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(ScrPool::get(3072, 0), ScrPool::get(8, 0));
    EXPECT_NE(ScrPool::find(p), ScrPool::end());
    EXPECT_EQ(ScrPool::find(&p), ScrPool::end());
    CaptureStdout();
    EXPECT_THROW(ScrPool::get(1048577, 2), LoggedError);
    EXPECT_EQ(GetCapturedStdout(), "     0 !!! MALLOC SCRT ERR\n");
}

TEST(ReceiverList, DonglesInIndexOrderThenTheFileReceiver)
{
    TempDir dir;
    // R820T, unknown tuner, busy, R820T, FC0012, no USB strings.
    fakertl::reset({{}, {.tuner = 0}, {.opens = false}, {}, {.tuner = 2}, {.stringsOk = false}});
    std::vector<std::string> names;
    for (const SdrDesc& d : findSdrs())
        names.push_back(d.name);
    EXPECT_EQ(names, (std::vector<std::string>{"RTLSDR R820T 0", "RTLSDR R820T 3", "RTLSDR FC0012 4"}));
    EXPECT_EQ(fakertl::openCount(), fakertl::closeCount());

    // An invalid recording is still listed: only its existence counts here.
    writeFile("swemu.wav", "junk", 4);
    ASSERT_EQ(findSdrs().size(), 4u);
    EXPECT_EQ(sdrList[3].name, "SWEMU");
    CaptureStdout();
    EXPECT_THROW(createSdr("SWEMU"), std::runtime_error);
    GetCapturedStdout();

    EXPECT_EQ(createSdr("RTLSDR R820T"), nullptr);
    EXPECT_NE(createSdr("RTLSDR R820T 3"), nullptr);
    fakertl::reset({});
    std::remove("swemu.wav");
    EXPECT_TRUE(findSdrs().empty());
}

TEST(RtlSdr, OpensByTrailingIndexRoundsGainAndConfirmsRateByReadBack)
{
    fakertl::reset({{.gains = {229, 254, 280}}, {.rateReadsBackWrong = true}, {.opens = false}});
    for (const char* name : {"RTLSDR R820T 2", "RTLSDR R820T 7"})
        EXPECT_EQ(errorOf([name] { RtlSdr sdr(name); }), "RTL-SDR cannot create device") << name;
    RtlSdr noDigits("RTLSDR");   // no digits after the last blank: device 0
    EXPECT_EQ(fakertl::sampleRate(), 2000000u);
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
    int block = 0;
    while (block < 255 && fakertl::streamByte(block, 0) != iq[0] / 256 + 127)
        ++block;
    ASSERT_LT(block, 255);
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

TEST(EngineRequest, FailedReadOrNoReceiverReachesTheEngineAsFailureAndSilence)
{
    fakertl::reset({{.blocksBeforeStall = 0}});
    RtlSdr::setReadTimeoutMs(50);
    RtlSdr dongle("RTLSDR R820T 0");
    dongle.start();
    std::vector<cs16> iq(100);
    for (AbstSdr* sdr : {static_cast<AbstSdr*>(&dongle), static_cast<AbstSdr*>(nullptr)}) {
        std::fill(iq.begin(), iq.end(), cs16{0x5555, 0x5555});
        SmpReq req{iq.data(), 100, kReadDelivered};
        EXPECT_TRUE(serveEngineRequest(sdr, cbRead, &req));
        EXPECT_EQ(req.status, -1) << (sdr ? "stalled dongle" : "no receiver");
        EXPECT_TRUE(std::all_of(iq.begin(), iq.end(), [](cs16 v) { return v.re == 0 && v.im == 0; }));
    }
    dongle.stop();
    RtlSdr::setReadTimeoutMs(2000);
}

}  // namespace
