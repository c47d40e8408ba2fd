// The window and the chart, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QSignalSpy>

#include <memory>

#include "eng_thrd.h"
#include "graph.h"
#include "main_win.h"
#include "scan_engine.h"
#include "scanner_test_util.h"

// Resources of a static library are registered by name from the global namespace.
static void initScannerResources() { Q_INIT_RESOURCE(scanner); }

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

QApplication& app()
{
    static int argc = 1;
    static char name[] = "scanner_test";
    static char* argv[] = {name, nullptr};
    static QApplication a(argc, argv);
    return a;
}

// The six dongle rows, numbered, and the file receiver.
std::vector<SdrDesc> allReceivers()
{
    std::vector<SdrDesc> list(sdrTable, sdrTable + 6);
    for (size_t i = 0; i < list.size(); ++i)
        list[i].name += " " + std::to_string(i);
    list.push_back(swemuDesc);
    return list;
}

TEST(MainWin, BandBoxFollowsTheReceiverAndStartsAtGsm900)
{
    app();
    MainWin win;
    QSignalSpy types(&win, &MainWin::chngSdrType);
    QSignalSpy bands(&win, &MainWin::chngSdrBand);
    win.loadSdrList(allReceivers());
    ASSERT_EQ(types.count(), 1);
    EXPECT_EQ(types[0][0].toInt(), 0);
    EXPECT_EQ(bands.count(), 1);
    const QStringList expected[7] = {{"GSM 900", "GSM 1800"}, {}, {"GSM 900"}, {},
                                     {"GSM 900", "GSM 1800"}, {"GSM 900"}, {"GSM 900", "GSM 1800"}};
    for (int i = 0; i < 7; ++i) {
        win.sdrBox()->setCurrentIndex(i);
        QStringList names;
        for (int k = 0; k < win.bandBox()->count(); ++k)
            names << win.bandBox()->itemText(k);
        EXPECT_EQ(names, expected[i]) << i;
    }
    types.clear();
    win.setSdr(6);
    EXPECT_EQ(types.count(), 0) << "the same receiver again changes nothing";

    // Switching receiver from GSM 1800 selects GSM 900 first.
    win.bandBox()->setCurrentIndex(1);
    bands.clear();
    win.sdrBox()->setCurrentIndex(4);
    ASSERT_EQ(bands.count(), 1);
    EXPECT_EQ(bands[0][0].toInt(), 0);
    EXPECT_EQ(types.count(), 1);
    // FC0012 fits no band: the band box empties, no band signal, the chart keeps its band.
    win.sdrBox()->setCurrentIndex(1);
    EXPECT_EQ(bands.count(), 1);
    EXPECT_EQ(win.bandBox()->count(), 0);

    EXPECT_EQ(win.windowTitle(), "Qarvel GSM scanner");
    EXPECT_EQ(win.legendHtml(),
              "<font color=#ec1d23>&#9632;</font> MTS <font color=#ffe100>&#9632;</font> Beeline "
              "<font color=#00995b>&#9632;</font> Megafon <font color=#00aec8>&#9632;</font> SkyLink "
              "<font color=#00acef>&#9632;</font> Yota <font color=#000000>&#9632;</font> Tele2 "
              "<font color=#c0c0c0>&#9632;</font> Unknown ");
}

TEST(Graph, ScaleAndTickLabelsFollowTheWidgetAndTheBand)
{
    app();
    Graph g;
    g.resize(840, 640);
    g.setBand(0);
    EXPECT_EQ(QSize(g.plotW(), g.plotH()), QSize(800, 600));
    EXPECT_NEAR(g.pxPerChan(), 800.0f / 174.0f, 1e-5f);
    EXPECT_FLOAT_EQ(g.pxPerDb(), 7.5f);
    const auto ticks = [&] { return std::vector<int>{g.chanTick(), g.chanTickOff(), g.dbTick(), g.dbTickOff()}; };
    EXPECT_EQ(ticks(), (std::vector<int>{10, 5, 10, 10}));
    // GSM 900 runs 975 .. 1023, 0 .. 124.
    EXPECT_EQ((QStringList{g.axisLabel(5), g.axisLabel(55), g.axisLabel(165)}), (QStringList{"980", "6", "116"}));
    g.setHorUnit(1);
    EXPECT_EQ(g.axisLabel(5), "926.2");
    EXPECT_EQ(g.barRect(0, -20.0f).width(), 3);
    EXPECT_EQ(g.barRect(0, -110.0f).height(), int(7.5f * 1) + 2);
    g.setBand(1);
    EXPECT_EQ(ticks(), (std::vector<int>{20, 8, 10, 10}));

    const std::pair<int, float> mhz[] = {{0, 935.0f},   {124, 959.8f}, {975, 925.2f}, {512, 1805.2f},
                                         {885, 1879.8f}, {125, -1.0f},  {886, -1.0f},  {-3, -1.0f}};
    for (auto [arfcn, f] : mhz)
        EXPECT_FLOAT_EQ(Graph::arfcnToMhz(arfcn), f) << arfcn;
}

TEST(Graph, BarsCarryTheirOperatorsColours)
{
    app();
    Graph g;
    g.resize(840, 640);
    LvlMnc records[375];
    for (auto& r : records)
        r = LvlMnc{-110.0f, -1};
    records[10] = LvlMnc{-50.0f, 99};   // Beeline yellow
    records[20] = LvlMnc{-20.0f, 1};    // MTS red, above the top of the view
    records[30] = LvlMnc{-60.0f, 5};    // not in the table: unknown grey, not black as Tele2
    g.loadLvl(records);
    const QImage img = g.grab().toImage();
    EXPECT_EQ(img.pixelColor(g.barRect(30, -60.0f).center()), QColor(192, 192, 192));
    EXPECT_EQ(img.pixelColor(g.barRect(10, -50.0f).center()), QColor(255, 225, 0));
    EXPECT_EQ(img.pixelColor(g.barRect(20, -20.0f).center()), QColor(236, 29, 35));
    EXPECT_EQ(img.pixelColor(g.barRect(40, -110.0f).center()), QColor(192, 192, 192));
    // A level at or above -30 dBm stands 79 dB high.
    EXPECT_EQ(g.barRect(20, -20.0f).top(), g.plotH() - 2 - int(7.5f * 79));
}

int occurrences(const std::string& text, const std::string& line)
{
    int n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++n;
    return n;
}

// A start-up failure reaches the console log once, wherever it happened, and nothing is left.
TEST(StartUp, LogsEachFailureOnceAndLeavesNothingBuilt)
{
    app();
    TempDir dir;
    std::unique_ptr<MainWin> win;
    std::unique_ptr<EngThrd> eng;
    writeWav("swemu.wav", rampIq(100), {.tag = 3, .bits = 32});
    CaptureStdout();
    EXPECT_FALSE(startScanner(win, eng));
    std::string log = GetCapturedStdout();
    EXPECT_EQ(occurrences(log, "     0 !!! Error, input wav header is wrong\n"), 1) << log;
    EXPECT_EQ(occurrences(log, "     0 !!! Error, wave file swemu.wav format unrecognized\n"), 1) << log;
    EXPECT_FALSE(win);
    EXPECT_FALSE(eng);
    // This program never fills the scratch pool: a good recording gets as far as the level FFT.
    writeWav("swemu.wav", rampIq(100));
    CaptureStdout();
    EXPECT_FALSE(startScanner(win, eng));
    log = GetCapturedStdout();
    EXPECT_EQ(occurrences(log, "!!! MALLOC SCRT ERR\n"), 1) << log;
    EXPECT_FALSE(win);
}

TEST(Resources, ZoomIconsShowTheAxisTheyZoom)
{
    initScannerResources();
    for (const char* zoom : {"zoomIn", "zoomOut"}) {
        const QImage hor(QString(":/image/%1Hor.png").arg(zoom)), vert(QString(":/image/%1Vert.png").arg(zoom));
        EXPECT_EQ(hor.size(), QSize(29, 23)) << zoom;
        EXPECT_EQ(vert.size(), QSize(29, 23)) << zoom;
        EXPECT_NE(hor, vert) << zoom;
    }
}

}  // namespace
