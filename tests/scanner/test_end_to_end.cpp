// The whole scanning machine without a window: the file receiver playing a generated
// recording with three cells, the scan engine, the channeliser and the real decoder library.
#include <gtest/gtest.h>

#include <QString>
#include <QTextStream>

#include <chrono>

#include "gsmsiggen.h"
#include "engine_receiver.h"
#include "scan_engine.h"
#include "scanner_test_util.h"
#include "scratch_pool.h"
#include "swemu_sdr.h"

namespace {

struct Owner {
    AbstSdr* sdr;
    static void cb(void* user, int32_t code, void* arg)
    {
        serveEngineRequest(static_cast<Owner*>(user)->sdr, code, arg);
    }
};

struct CellSpec {
    int channel;   // 200 kHz steps from the recording's centre
    int mcc, mnc;
    uint16_t lac, ci;
    uint8_t bsic;
    std::vector<int> list;
};

TEST(EndToEnd, FileReceiverSweepDecodesEveryCell)
{
    TempDir dir;
    ScrPool::init();
    // GSM 900 on the file receiver: capture channel i sits at (i - 4) * 200 kHz, and every
    // capture position hears the same recording, so a carrier shows on channels i, i + 9, ...
    const std::vector<CellSpec> cells = {
        {-2, 250, 1, 1000, 101, 12, {980, 10}},    // channel 2 (ARFCN 977): lists ch 5 and 59
        {0, 250, 99, 2000, 202, 33, {1000, 30}},  // channel 4 (ARFCN 979): lists ch 25 and 79
        {2, 250, 2, 3000, 303, 45, {995}},        // channel 6 (ARFCN 981): lists ch 20
    };
    std::vector<gsmsig::WideCarrier> carriers;
    for (const CellSpec& c : cells) {
        gsmsig::WideCarrier w;
        w.channel = c.channel;
        w.startFrame = 357;   // SI1 in the second multiframe of a one-second capture
        w.cell.mcc = c.mcc;
        w.cell.mnc = c.mnc;
        w.cell.lac = c.lac;
        w.cell.ci = c.ci;
        w.cell.bsic = c.bsic;
        w.cell.channels = c.list;
        carriers.push_back(w);
    }
    std::string err;
    ASSERT_TRUE(gsmsig::writeSwemuWav("swemu.wav", carriers, gsmsig::WideOptions{}, &err)) << err;

    SwemuSdr sdr("SWEMU");
    sdr.start();
    Owner owner{&sdr};
    ScanEng eng(&Owner::cb, &owner);
    eng.setSdr(swemuDesc);
    const ChanRes* r = eng.chanRes();

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    auto decoded = [&] { return r[2].type == 1 && r[4].type == 1 && r[6].type == 1; };
    while (!decoded() && std::chrono::steady_clock::now() < deadline)
        eng.step();
    ASSERT_TRUE(decoded()) << "types " << r[2].type << " " << r[4].type << " " << r[6].type;

    for (size_t i = 0; i < cells.size(); ++i) {
        const ChanRes& own = r[2 + 2 * i];
        EXPECT_EQ(own.mcc, cells[i].mcc);
        EXPECT_EQ(own.mnc, cells[i].mnc);
        EXPECT_EQ(own.lac, cells[i].lac);
        EXPECT_EQ(own.ci, cells[i].ci);
    }
    // The listing cell may have been decoded at any capture position: its channel is the
    // cell's capture channel modulo 9.
    EXPECT_EQ(r[5].type, 2);
    EXPECT_EQ(r[5].bcch % 9, 2);
    EXPECT_EQ(r[59].type, 2);
    EXPECT_EQ(r[25].type, 2);
    EXPECT_EQ(r[25].bcch % 9, 4);
    EXPECT_EQ(r[20].type, 2);
    EXPECT_EQ(r[20].ci, 303);

    // Carrier channels stand well above the empty ones.
    EXPECT_GT(r[4].lvl, r[0].lvl + 15);
    EXPECT_GT(r[2].lvl, r[8].lvl + 15);

    QString text;
    QTextStream out(&text);
    eng.writeReport(out);
    EXPECT_TRUE(text.contains("   979   926.0")) << text.toStdString();
    EXPECT_TRUE(text.contains("  250   99   2000    202  BCCH+TCH"));
    EXPECT_TRUE(text.contains("   980   926.2  "));
    EXPECT_TRUE(text.contains("  250    1   1000    101  TCH only "));
}

}  // namespace
