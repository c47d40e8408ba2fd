// The scan engine driven through its callback by a scripted receiver, with the stand-in
// decoder library behind the workers.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <chrono>
#include <cmath>
#include <complex>
#include <thread>
#include <vector>

#include "fake_corvane.h"
#include "scan_engine.h"
#include "scanner_test_util.h"
#include "scratch_pool.h"
#include "sigprim_scan.h"

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

using cd = std::complex<double>;

// A receiver in front of tones at fixed downlink frequencies: a read holds those within the
// 2.4 MHz sampled around the tuned centre, and the gain is taken in whole-dB steps.
struct BandSdr {
    struct Tone {
        double mhz, amplitude;
    };
    std::vector<Tone> tones;
    float centre = 0.0f, gain = 0.0f;
    bool failing = false;   // reads fail, as the owner passes a failure on: status -1, silence
    std::vector<float> freqs, gainsAsked;
    std::vector<std::vector<cs16>> levelReads;   // each level read as delivered

    static void cb(void* user, int32_t code, void* arg)
    {
        auto& s = *static_cast<BandSdr*>(user);
        if (code == cbSetFreq)
            s.freqs.push_back(s.centre = *static_cast<float*>(arg));
        if (code == cbSetGain) {
            s.gainsAsked.push_back(*static_cast<float*>(arg));
            *static_cast<float*>(arg) = s.gain = std::round(s.gainsAsked.back());
        }
        if (code != cbRead)
            return;
        auto* req = static_cast<SmpReq*>(arg);
        if (s.failing) {
            req->status = -1;
            std::fill(req->iq, req->iq + req->n, cs16{0, 0});
            return;
        }
        if (req->n >= 1000000)
            return;   // what the decode capture holds does not matter here
        for (int32_t k = 0; k < req->n; ++k) {
            cd v = 0;
            for (const Tone& t : s.tones)
                if (std::fabs(t.mhz - s.centre) < 1.2)
                    v += std::polar(t.amplitude, 2 * M_PI * (t.mhz - s.centre) / 2.4 * k);
            req->iq[k] = cs16{int16_t(std::lround(v.real())), int16_t(std::lround(v.imag()))};
        }
        if (req->n == ScanEng::kLevelBlocks * 384)
            s.levelReads.emplace_back(req->iq, req->iq + req->n);
    }
};

// The level in dB that a level read gives capture channel i of 10: in each of the 20 blocks of
// 384 samples (scaled by 2^-15, Hann window), the power of the 13 DFT bins centred on the channel
// (200 kHz = 32 bins from the capture centre's bin 192), added over the blocks, times 0.05.
double refLevelDb(const std::vector<cd>& read, int i)
{
    const int n = 384;
    const int centreBin = n / 2 + (2 * i - 9) * 16;
    double acc = 0;
    for (int b = 0; b < ScanEng::kLevelBlocks; ++b)
        for (int bin = centreBin - 6; bin <= centreBin + 6; ++bin) {
            cd x = 0;
            for (int k = 0; k < n; ++k) {
                const double w = 0.5 * (1 - std::cos(2 * M_PI * k / (n - 1)));
                x += read[size_t(b * n + k)] / 32768.0 * w * std::polar(1.0, -2 * M_PI * (bin - n / 2) * k / n);
            }
            acc += std::norm(x);
        }
    return 10 * std::log10(0.05 * acc);
}

double refLevelDb(const std::vector<cs16>& read, int i)
{
    std::vector<cd> x;
    for (cs16 v : read)
        x.emplace_back(v.re, v.im);
    return refLevelDb(x, i);
}

// The steps of one GSM 900 sweep of a dongle: 18 positions of tuning and level capture.
constexpr int kSweepSteps900 = 36;

class Engine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScrPool::init();
        // The slot the program picks at start-up: the workers decode each capture far sooner.
        sigInitDispatch();
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

TEST_F(Engine, ToneLevelsInDbmFollowTheirBinsTheSmoothingAndTheGain)
{
    // A tone on channel 25's centre, and tones on the outermost bin of channels 62 (upper edge)
    // and 87 (lower edge), each in a capture of its own.
    const int chans[3] = {25, 62, 87};
    const double offMhz[3] = {0.0, 6 * 0.00625, -6 * 0.00625};
    for (float minGain : {0.0f, 15.0f}) {   // the receiver starts at minGain + 10 dB
        SCOPED_TRACE(minGain);
        BandSdr sdr;
        SdrDesc desc = rtlDesc();
        desc.minGain = minGain;
        ScanEng eng(&BandSdr::cb, &sdr);
        eng.setSdr(desc);
        ASSERT_EQ(sdr.gain, minGain + 10.0f);
        double lvl[3] = {};
        // The smoothing over three sweeps at the first gain; one sweep at the second.
        for (int sweep = 0; sweep < (minGain == 0.0f ? 3 : 1); ++sweep) {
            // A first sweep at one amplitude, then two at another: the first reading is taken
            // as it is, later ones smoothed 0.3 new to 0.7 old.
            sdr.tones.clear();
            for (int j = 0; j < 3; ++j)
                sdr.tones.push_back({925.2 + 0.2 * chans[j] + offMhz[j], sweep == 0 ? 11000.0 : 16000.0});
            sdr.levelReads.clear();
            for (int s = 0; s < kSweepSteps900; ++s)
                eng.step();
            ASSERT_EQ(sdr.levelReads.size(), 18u);
            LvlMnc chart[375];
            ASSERT_EQ(eng.getLvlMnc(chart), 174);
            for (int j = 0; j < 3; ++j) {
                const int c = chans[j];
                const double level = refLevelDb(sdr.levelReads[size_t(c / 10)], c % 10);
                lvl[j] = sweep == 0 ? level : 0.3 * level + 0.7 * lvl[j];
                EXPECT_NEAR(chart[c].lvl, lvl[j] - 60 - sdr.gain, 0.01) << "sweep " << sweep << " channel " << c;
            }
            eng.step();   // the decode capture
            eng.step();
        }
        EXPECT_EQ(sdr.gainsAsked.size(), 1u) << "the levels stayed inside the gain's dead band";
    }
}

TEST_F(Engine, Gsm1800SweepTunesAndReportsTheStandardDownlinkChannels)
{
    // DCS 1800 downlink: 1805.2 MHz + 0.2 MHz x (ARFCN - 512), ARFCN 512 to 885.
    const auto downlink = [](int arfcn) { return 1805.2 + 0.2 * (arfcn - 512); };
    BandSdr sdr;
    ScanEng eng(&BandSdr::cb, &sdr);
    eng.setSdr(rtlDesc());
    eng.setBand(1);
    sdr.freqs.clear();
    for (int s = 0; s < 2 * 38 + 1; ++s)   // 38 level positions, then the first decode position
        eng.step();
    ASSERT_EQ(sdr.freqs.size(), 39u);
    for (int p = 0; p < 39; ++p) {
        // Each capture is centred between its first and its tenth channel.
        const int first = 512 + 10 * (p % 38);
        EXPECT_NEAR(sdr.freqs[size_t(p)], (downlink(first) + downlink(first + 9)) / 2, 1e-3) << p;
    }

    QString text;
    QTextStream out(&text);
    eng.writeReport(out);
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 1 + 374 + 1);
    EXPECT_TRUE(lines[1].startsWith("   512  1805.2")) << lines[1].toStdString();
    EXPECT_TRUE(lines[189].startsWith("   700  1842.8")) << lines[189].toStdString();
    EXPECT_TRUE(lines[374].startsWith("   885  1879.8")) << lines[374].toStdString();
    for (int k = 0; k < 374; ++k) {
        const QStringList fields = lines[k + 1].split(' ', Qt::SkipEmptyParts);
        ASSERT_GE(fields.size(), 2);
        EXPECT_EQ(fields[0].toInt(), 512 + k);
        EXPECT_EQ(fields[1], QString::number(downlink(512 + k), 'f', 1)) << k;
    }
}

TEST_F(Engine, AutomaticGainStepsOnlyOutsideItsDeadBand)
{
    // The amplitude that gives a channel-centre tone the wanted level.
    std::vector<cd> fullScale;
    for (int k = 0; k < ScanEng::kLevelBlocks * 384; ++k)
        fullScale.push_back(std::polar(32768.0, 2 * M_PI * 16 * k / 384));
    const double fullScaleDb = refLevelDb(fullScale, 5);
    struct Case {
        double top;
        float asked;   // 0: no gain change
    };
    // Target 40 dB with 3 dB either side; the receiver starts at 10 dB.
    for (const Case c : {Case{42.9, 0.0f}, Case{43.1, 6.9f}, Case{37.1, 0.0f}, Case{36.9, 13.1f}}) {
        SCOPED_TRACE(c.top);
        BandSdr sdr;
        ScanEng eng(&BandSdr::cb, &sdr);
        eng.setSdr(rtlDesc());
        // Channel 25 = capture channel 5 of position 2, 100 kHz above its centre.
        sdr.tones = {{930.2, 32768.0 * std::pow(10.0, (c.top - fullScaleDb) / 20)}};
        for (int s = 0; s < kSweepSteps900 + 2; ++s)   // a sweep and its decode capture
            eng.step();
        std::vector<float> before(174);
        for (size_t k = 0; k < 174; ++k)
            before[k] = eng.chanRes()[k].lvl;
        ASSERT_NEAR(before[25], c.top, 0.01);
        LvlMnc dbmBefore[375], dbmAfter[375];
        eng.getLvlMnc(dbmBefore);
        eng.step();   // the next sweep begins with the gain check
        eng.getLvlMnc(dbmAfter);
        if (c.asked == 0.0f) {
            EXPECT_EQ(sdr.gainsAsked.size(), 1u);
            EXPECT_EQ(eng.curGain(), 10.0f);
            for (size_t k = 0; k < 174; ++k)
                EXPECT_EQ(eng.chanRes()[k].lvl, before[k]) << k;
            continue;
        }
        ASSERT_EQ(sdr.gainsAsked.size(), 2u);
        EXPECT_NEAR(sdr.gainsAsked[1], c.asked, 1e-3);
        // Every level moves by the step the receiver actually took (whole dB), so that the
        // levels in dBm stay where they were.
        const float taken = std::round(c.asked);
        EXPECT_EQ(eng.curGain(), taken);
        for (size_t k = 0; k < 174; ++k) {
            EXPECT_NEAR(eng.chanRes()[k].lvl, before[k] + taken - 10.0f, 1e-4) << k;
            EXPECT_NEAR(dbmAfter[k].lvl, dbmBefore[k].lvl, 1e-4) << k;
        }
    }
}

TEST_F(Engine, ReceiverThatStopsDeliveringMeasuresNothingAndIsLoggedOnceEachWay)
{
    BandSdr sdr;
    for (int p = 0; p < 18; ++p)   // a tone in every capture, on its capture channel 5
        sdr.tones.push_back({925.2 + 0.2 * (10 * p + 5), 11000.0});
    BcchInfo cell{};
    cell.mcc = 0x250;
    cell.mnc = 0x01F;
    fakeCorvane().cell = cell;
    fakeCorvane().framesToDecode = 1;
    SdrDesc desc = rtlDesc();
    desc.name = "RTLSDR R820T 0";
    ScanEng eng(&BandSdr::cb, &sdr);
    const auto run = [&](int steps) {
        for (int s = 0; s < steps; ++s)
            eng.step();
    };
    testing::internal::CaptureStdout();
    eng.setSdr(desc);
    run(kSweepSteps900 + 2);   // a sweep, then the first decode capture goes to a worker
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (eng.worker(0).state() != wsReady && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(eng.worker(0).state(), wsReady);
    std::vector<ChanRes> before(eng.chanRes(), eng.chanRes() + 174);

    // A whole sweep and a decode capture without samples: the levels stay, the finished result
    // is still collected, and no worker is given the capture.
    sdr.failing = true;
    run(kSweepSteps900 + 2);
    for (size_t k = 0; k < 174; ++k) {
        EXPECT_EQ(eng.chanRes()[k].lvl, before[k].lvl) << k;
        EXPECT_EQ(eng.chanRes()[k].pwr, before[k].pwr) << k;
        EXPECT_EQ(eng.chanRes()[k].type, k < 10 ? 1 : 0) << k;
    }
    for (int i = 0; i < ScanEng::kWorkers; ++i)
        EXPECT_EQ(eng.worker(i).state(), wsIdle) << i;

    sdr.failing = false;
    for (auto& t : sdr.tones)
        t.amplitude = 16000.0;
    run(2);
    EXPECT_GT(eng.chanRes()[5].lvl, before[5].lvl + 0.5f) << "measured again";
    sdr.failing = true;
    eng.step();   // a settling read fails: said again
    // A new receiver starts afresh: its delivering is nothing to report.
    desc.name = "RTLSDR R820T 1";
    eng.setSdr(desc);
    sdr.failing = false;
    run(2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "     0 !!! Error, RTLSDR R820T 0 delivers no samples\n"
              "     0 RTLSDR R820T 0 delivers samples again\n"
              "     0 !!! Error, RTLSDR R820T 0 delivers no samples\n");
}

}  // namespace
