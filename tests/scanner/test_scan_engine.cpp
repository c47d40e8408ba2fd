// The scan engine driven through its callback by a scripted receiver, with the stand-in
// decoder library behind the workers.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <cmath>
#include <complex>
#include <vector>

#include "fake_corvane.h"
#include "scan_engine.h"
#include "scanner_test_util.h"
#include "scratch_pool.h"

namespace {

const SdrDesc& rtlDesc() { return sdrTable[4]; }   // "RTLSDR R820T"

// Remembers the engine's requests and answers reads with a tone.
struct ScriptedSdr {
    std::vector<float> freqs, gainsAsked;
    std::vector<int32_t> reads;
    bool fixedGain = false;    // like the file receiver: only 0 dB
    double toneHz = 0.0, amplitude = 0.0;

    static void cb(void* user, int32_t code, void* arg)
    {
        auto& s = *static_cast<ScriptedSdr*>(user);
        if (code == cbSetFreq)
            s.freqs.push_back(*static_cast<float*>(arg));
        if (code == cbSetGain) {
            s.gainsAsked.push_back(*static_cast<float*>(arg));
            if (s.fixedGain)
                *static_cast<float*>(arg) = 0.0f;
        }
        if (code == cbRead) {
            auto* req = static_cast<SmpReq*>(arg);
            s.reads.push_back(req->n);
            for (int32_t k = 0; k < req->n; ++k) {
                const auto v = std::polar(s.amplitude, 2 * M_PI * s.toneHz * k / 2.4e6);
                req->iq[k] = cs16{int16_t(std::lround(v.real())), int16_t(std::lround(v.imag()))};
            }
        }
    }
};

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScrPool::init();
        fakeCorvane().framesToDecode = -1;
    }
    ScriptedSdr sdr;
};

TEST_F(Engine, GeometryOfEveryReceiverAndBand)
{
    ScanEng eng(&ScriptedSdr::cb, &sdr);
    // Channels per capture, FFT size, first bin, settling and decode reads, captures per sweep.
    const auto geometry = [&] {
        return std::vector<int>{eng.perCapture(), eng.fftSize(), eng.firstBin(), eng.settleLen(),
                                eng.decodeLen(), eng.capturesPerSweep()};
    };
    eng.setSdr(rtlDesc());
    EXPECT_EQ(geometry(), (std::vector<int>{10, 384, 42, 9600, 2400000, 18}));
    EXPECT_FLOAT_EQ(eng.firstCentre(), 925.2f + 0.9f);
    EXPECT_FLOAT_EQ(eng.curGain(), 10.0f);
    ASSERT_FALSE(sdr.gainsAsked.empty());
    EXPECT_FLOAT_EQ(sdr.gainsAsked.back(), 10.0f);
    eng.setBand(1);
    EXPECT_EQ(eng.capturesPerSweep(), 38);
    eng.setSdr(swemuDesc);
    EXPECT_EQ(geometry(), (std::vector<int>{9, 384, 58, 2400, 2400000, 20}));
    eng.setBand(1);
    EXPECT_EQ(eng.capturesPerSweep(), 42);
}

TEST_F(Engine, SweepVisitsEveryPositionThenOneDecodeCapture)
{
    ScanEng eng(&ScriptedSdr::cb, &sdr);
    eng.setSdr(swemuDesc);
    sdr.freqs.clear();
    sdr.reads.clear();
    const size_t positions = size_t(eng.capturesPerSweep());
    for (size_t i = 0; i < 2 * positions + 2; ++i)
        eng.step();
    ASSERT_EQ(sdr.freqs.size(), positions + 1);
    ASSERT_EQ(sdr.reads.size(), 2 * positions + 2);
    for (size_t p = 0; p <= positions; ++p) {
        // Each position: the settling read, then the level blocks; last the first decode position.
        const bool decode = p == positions;
        EXPECT_NEAR(sdr.freqs[p], eng.firstCentre() + (decode ? 0 : p) * eng.captureStep(), 1e-3) << p;
        EXPECT_EQ(sdr.reads[2 * p], 2400) << p;
        EXPECT_EQ(sdr.reads[2 * p + 1], decode ? 2400000 : 20 * 384) << p;
    }
    EXPECT_EQ(eng.state(), 0);
    eng.worker(0).waitIdle();
}

TEST_F(Engine, ToneLandsOnItsChannelAndLevelsSmooth)
{
    sdr.fixedGain = true;
    ScanEng eng(&ScriptedSdr::cb, &sdr);
    eng.setSdr(swemuDesc);
    sdr.toneHz = 200e3;   // capture channel 5 of 9 (offsets -800 .. +800 kHz)
    sdr.amplitude = 3000;
    eng.step();
    eng.step();
    const ChanRes* r = eng.chanRes();
    for (int i : {0, 1, 2, 3, 4, 6, 7, 8})
        EXPECT_GT(r[5].lvl, r[i].lvl + 30) << i;
    const float first = r[5].lvl;
    EXPECT_NEAR(first, 10 * std::log10(r[5].pwr + 1.1754944e-38f), 1e-4) << "unsmoothed at first";
    EXPECT_EQ(r[20].lvl, -110.0f) << "channels not yet measured";
    LvlMnc chart[375];
    EXPECT_EQ(eng.getLvlMnc(chart), 174);
    EXPECT_FLOAT_EQ(chart[5].lvl, first - 60.0f);
    EXPECT_EQ(chart[5].mnc, -1);
}

TEST_F(Engine, DecodedCellsMarkTheirChannelsListsAndReportRows)
{
    ScanEng eng(&ScriptedSdr::cb, &sdr);
    eng.setSdr(rtlDesc());   // GSM 900: first ARFCN 975
    DecResBlock block{};
    block.firstChan = 40;
    block.res[9] = DecRes{1, 99, 250, 1234, 5678, 3, {1024, 600, 10}};   // channel 49 = ARFCN 0
    eng.storeRes(block);
    const ChanRes* r = eng.chanRes();
    // The own channel keeps BCCH+TCH though listed as ARFCN 1024; ARFCN 10 is channel 59, and
    // ARFCN 600 lies outside the band.
    for (int k = 0; k < 174; ++k)
        EXPECT_EQ(r[k].type, k == 49 ? 1 : k == 59 ? 2 : 0) << k;
    QString text;
    QTextStream out(&text);
    eng.writeReport(out);
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 176);   // header, 174 channels, empty tail after the last end of line
    EXPECT_EQ(lines[0], " ARFCN    MHz     dBm   MCC  MNC   LAC     CI     Type    BCCH ");
    // Never measured: -110 less 60, less the 10 dB of gain.
    EXPECT_EQ(lines[1], "   975   925.2  -180.0  ---  ---  -----  -----");
    EXPECT_EQ(lines[50], "     0   935.0  -180.0  250   99   1234   5678  BCCH+TCH");
    EXPECT_EQ(lines[60], "    10   937.0  -180.0  250   99   1234   5678  TCH only    0");
    EXPECT_TRUE(lines[174].startsWith("   124   959.8"));

    // GSM 1800's last capture covers channels 370 to 379: only 370 to 373 are stored.
    eng.setBand(1);
    DecResBlock last{};
    last.firstChan = 370;
    for (auto& d : last.res)
        d = DecRes{1, 1, 250, 1, 2, 0, {}};
    eng.storeRes(last);
    for (int k = 370; k < 375; ++k)
        EXPECT_EQ(r[k].type, k < 374) << k;
    eng.clrRes();
    EXPECT_EQ(r[370].type, 0);
}

TEST_F(Engine, WorkerThatCannotBindEndsTheConstructionAndTheWorkersStarted)
{
    FakeCorvaneState& fake = fakeCorvane();
    const int destroys = fake.destroys;
    fake.createsBeforeFailure = 2;   // the third worker cannot have its decoder
    EXPECT_EQ(errorOf([&] { ScanEng eng(&ScriptedSdr::cb, &sdr); }), "!!! Can not load GSM DLL\n");
    fake.createsBeforeFailure = -1;
    EXPECT_EQ(fake.destroys - destroys, 2);
}

TEST_F(Engine, CaptureIsRefusedWhenEveryWorkerIsBusy)
{
    ScanEng eng(&ScriptedSdr::cb, &sdr);
    eng.setSdr(swemuDesc);
    std::vector<cs16> capture(2400000, cs16{0, 0});
    for (int i = 0; i < ScanEng::kWorkers; ++i)
        ASSERT_TRUE(eng.worker(i).submit(capture.data(), 0));
    for (int i = 0; i < ScanEng::kWorkers; ++i) {
        EXPECT_FALSE(eng.worker(i).submit(capture.data(), 0));
        eng.worker(i).waitIdle();
    }
}

}  // namespace
