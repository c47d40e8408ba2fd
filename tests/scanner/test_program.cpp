// The whole scanner on a generated recording with three cells, through the real decoder library:
// headless (file receiver, engine, channeliser, workers), and as a user starts it, offscreen.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <tuple>

#include "eng_thrd.h"
#include "engine_receiver.h"
#include "gsmsiggen.h"
#include "main_win.h"
#include "scan_engine.h"
#include "scanner_test_util.h"
#include "scratch_pool.h"
#include "swemu_sdr.h"

// Resources of a static library are registered by name from the global namespace.
static void initScannerResources() { Q_INIT_RESOURCE(scanner); }

namespace {

// GSM 900 on the file receiver: capture channel i sits at (i - 4) * 200 kHz, and every capture
// position hears the same recording, so a carrier shows on channels i, i + 9, ... The cells sit
// on channels 2, 4 and 6 (ARFCN 977, 979, 981) and list channels 5 and 59, 25 and 79, and 20.
void writeThreeCells()
{
    struct Spec { int channel, mnc; uint16_t lac, ci; uint8_t bsic; std::vector<int> list; };
    std::vector<gsmsig::WideCarrier> carriers;
    for (const Spec& s : {Spec{-2, 1, 1000, 101, 12, {980, 10}}, Spec{0, 99, 2000, 202, 33, {1000, 30}},
                          Spec{2, 2, 3000, 303, 45, {995}}}) {
        // Frame 357 starts the capture: SI1 comes in its second multiframe.
        carriers.push_back({.cell = {.mcc = 250, .mnc = s.mnc, .lac = s.lac, .ci = s.ci, .bsic = s.bsic, .channels = s.list},
                            .channel = s.channel, .startFrame = 357});
    }
    std::string err;
    ASSERT_TRUE(gsmsig::writeSwemuWav("swemu.wav", carriers, gsmsig::WideOptions{}, &err)) << err;
}

// The report rows of the three cells and of channel 5 (ARFCN 980), which the first one lists; the
// level and the listing cell's ARFCN vary with the run.
void expectCellRows(const QString& report)
{
    const char* rows[][2] = {{"   977   925.6  ", "  250    1   1000    101  BCCH+TCH$"},
                             {"   979   926.0  ", "  250   99   2000    202  BCCH+TCH$"},
                             {"   981   926.4  ", "  250    2   3000    303  BCCH+TCH$"},
                             {"   980   926.2  ", "  250    1   1000    101  TCH only .{4}$"}};
    for (const auto& row : rows) {
        const QRegularExpression re("^" + QRegularExpression::escape(row[0]) + ".{6}" +
                                        QString(row[1]).replace("+", "\\+"),
                                    QRegularExpression::MultilineOption);
        EXPECT_TRUE(re.match(report).hasMatch()) << row[0] << "\n" << report.toStdString();
    }
}

struct Owner {
    AbstSdr* sdr;
    static void cb(void* user, int32_t code, void* arg) { serveEngineRequest(static_cast<Owner*>(user)->sdr, code, arg); }
};

TEST(EndToEnd, FileReceiverSweepDecodesEveryCell)
{
    TempDir dir;
    ScrPool::init();
    writeThreeCells();
    SwemuSdr sdr("SWEMU");
    sdr.start();
    Owner owner{&sdr};
    ScanEng eng(&Owner::cb, &owner);
    eng.setSdr(swemuDesc);
    const ChanRes* r = eng.chanRes();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    auto decoded = [&] { return r[2].type == 1 && r[4].type == 1 && r[6].type == 1; };
    while (!decoded() && std::chrono::steady_clock::now() < deadline)
        eng.step();
    ASSERT_TRUE(decoded()) << "types " << r[2].type << " " << r[4].type << " " << r[6].type;
    // A listing cell may have been decoded at any capture position: its channel is the cell's
    // capture channel modulo 9.
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
    expectCellRows(text);
}

// Recordings shorter than a capture, three cells 12 dB apart, short from the start or cut while
// the receivers play them: what they can give is measured, nothing is offered to the workers, and
// the log names the capture they are too short for once in the run, whatever the sweeps and
// receiver switches, with no word of samples failing.
TEST(EndToEnd, RecordingShorterThanACaptureIsMeasuredAndSaysSoOnce)
{
    TempDir dir;
    ScrPool::init();
    const std::string decodeLine =
        "     0 !!! Error, SWEMU recording is shorter than one decode capture (2400000 samples), no cell is decoded\n";
    const std::string levelLine =
        "     0 !!! Error, SWEMU recording is shorter than one level capture (7680 samples), no level is measured\n";
    // 500000 samples (0.21 s) hold every level capture; 5000 hold a settle read but no capture.
    for (const auto& [samples, cut, log] : {std::tuple{500000, false, decodeLine}, {500000, true, decodeLine},
                                             {5000, false, levelLine + decodeLine}, {5000, true, levelLine + decodeLine}}) {
        SCOPED_TRACE(std::to_string(samples) + (cut ? " samples, cut while playing" : " samples"));
        std::vector<gsmsig::WideCarrier> carriers;
        for (const auto& [channel, amplitude] : {std::pair{-2, 400.0}, {0, 100.0}, {2, 25.0}})
            carriers.push_back({.cell = {.mcc = 250, .mnc = 1, .lac = 1000, .ci = uint16_t(100 + channel), .bsic = 12},
                                .channel = channel, .imp = {.amplitude = amplitude}});
        std::string err;
        ASSERT_TRUE(gsmsig::writeSwemuWav("swemu.wav", carriers, {.numSamples = size_t(samples), .amplitudeScale = 1}, &err))
            << err;
        const auto bytes = std::filesystem::file_size("swemu.wav");
        if (cut) {   // opened as a recording of a whole decode capture, silent after `samples`
            setWavSizes("swemu.wav", 36 + 2400000 * 4, 2400000 * 4);
            std::filesystem::resize_file("swemu.wav", 44 + 2400000 * 4);
        }
        SwemuSdr first("SWEMU"), second("SWEMU");
        first.start();
        second.start();
        std::filesystem::resize_file("swemu.wav", bytes);
        Owner owner{&first};
        ScanEng eng(&Owner::cb, &owner);
        testing::internal::CaptureStdout();
        eng.setSdr(swemuDesc);
        const int sweepSteps = 2 * eng.capturesPerSweep() + 2;   // and the decode capture after it
        for (int s = 0; s < 3 * sweepSteps; ++s)   // the recording wraps within the third sweep
            eng.step();
        owner.sdr = &second;
        eng.setSdr(swemuDesc);
        for (int s = 0; s < sweepSteps; ++s)
            eng.step();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), log);
        const ChanRes* r = eng.chanRes();
        for (int32_t k = 0; k < eng.chanCount(); ++k)
            EXPECT_EQ(r[k].type, 0) << k;
        for (int i = 0; i < ScanEng::kWorkers; ++i)
            EXPECT_EQ(eng.worker(i).state(), wsIdle) << i;
        if (samples < 7680) {
            EXPECT_EQ(r[2].lvl, ScanEng::kNeverMeasured);
            continue;
        }
        EXPECT_NEAR(r[2].lvl - r[4].lvl, 12.0, 1.5);
        EXPECT_NEAR(r[4].lvl - r[6].lvl, 12.0, 1.5);
        EXPECT_GT(r[6].lvl, r[8].lvl + 15);
    }
}

QApplication& app()
{
    static int argc = 1;
    static char name[] = "scanner";
    static char* argv[] = {name, nullptr};
    static QApplication* a = [] {
        ScrPool::init();
        sigInitDispatch();
        initScannerResources();
        return new QApplication(argc, argv);
    }();
    return *a;
}

// Answers the next modal message box with the given button once it shows, keeping its text.
void answerNextBox(QMessageBox::StandardButton button, QString* text)
{
    QTimer::singleShot(200, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return answerNextBox(button, text);
        *text = box->text();
        box->button(button)->click();
    });
}

// The window with its engine thread on the three-cell recording, as main() builds them.
struct Program {
    Program() : eng(&win)
    {
        win.setRecordLock(&eng.mutex());
        win.show();
        win.loadSdrList(eng.sdrList());
        eng.start(QThread::InheritPriority);
    }
    ~Program()
    {
        eng.requestStop();
        eng.wait();
    }
    MainWin win;
    EngThrd eng;
};

TEST(Program, DecodesTheCellsShowsTheirColoursAndSavesTheReport)
{
    app();
    TempDir dir;
    writeThreeCells();
    Program p;
    ASSERT_EQ(p.win.sdrBox()->currentText(), "SWEMU");
    // The selection message hides the legend while it shows instead of being drawn over it.
    auto* legend = p.win.statusBar()->findChild<QLabel*>();
    EXPECT_EQ(p.win.statusBar()->currentMessage(), "Band GSM 900 selected");
    EXPECT_FALSE(legend->isVisible());
    Graph* g = p.win.graph();
    const QColor mts(236, 29, 35), beeline(255, 225, 0), megafon(0, 153, 91);
    auto decoded = [&] { return g->barColor(2) == mts && g->barColor(4) == beeline && g->barColor(6) == megafon; };
    QElapsedTimer t;
    t.start();
    while ((!decoded() || !legend->isVisible()) && t.elapsed() < 150000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(legend->isVisible()) << "the legend stays hidden after the message";
    p.win.grab().toImage().save(QString(SCANNER_ARTIFACTS) + "/scanner_window.png");
    ASSERT_TRUE(decoded()) << "colours " << g->barColor(2).name().toStdString() << " "
                         << g->barColor(4).name().toStdString() << " " << g->barColor(6).name().toStdString();
    p.win.saveReportAction()->trigger();
    const QStringList reports = QDir(".").entryList({"GSM_scan_*.txt"});
    ASSERT_EQ(reports.size(), 1);
    QFile file(reports[0]);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(" ARFCN    MHz     dBm   MCC  MNC   LAC     CI     Type    BCCH \n"));
    expectCellRows(text);
}

// The box runs an event loop while a queued chart update takes the engine mutex: saving must
// not hold that mutex across the box.
TEST(Program, FailedReportShowsTheErrorWithoutDeadlock)
{
    app();
    TempDir dir;
    writeThreeCells();
    Program p;
    // A working directory that no longer exists: the report cannot be opened.
    std::filesystem::create_directory("gone");
    std::filesystem::current_path("gone");
    std::filesystem::remove(std::filesystem::current_path());
    QString message;
    answerNextBox(QMessageBox::Ok, &message);
    QElapsedTimer t;
    t.start();
    p.win.saveReportAction()->trigger();   // returns once the box is answered
    EXPECT_LT(t.elapsed(), 30000);
    EXPECT_TRUE(message.startsWith("Can not open file \nGSM_scan_")) << message.toStdString();
    EXPECT_TRUE(message.endsWith(".txt\n for write.")) << message.toStdString();
    std::filesystem::current_path(dir.path());
}

TEST(Program, NoReceiverAsksAndCancelEndsStartUp)
{
    app();
    TempDir dir;   // no swemu.wav, and the stand-in librtlsdr lists no dongle
    MainWin win;
    QString message;
    answerNextBox(QMessageBox::Cancel, &message);
    EXPECT_EQ(errorOf([&] { EngThrd eng(&win); }), "No SDR found");
    EXPECT_TRUE(message.startsWith("No SDR found,")) << message.toStdString();
}

// Switching to a recording that turned bad: each line of its reason is on the log once.
TEST(Program, BadRecordingAtReceiverSwitchIsLoggedOnce)
{
    app();
    TempDir dir;
    writeWav("swemu.wav", rampIq(100));
    MainWin win;
    EngThrd eng(&win);
    writeWav("swemu.wav", rampIq(100), {.wave = "WAVX"});
    testing::internal::CaptureStdout();
    eng.setSdr(0);
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(log, "     0   Files swemu.wav       \n"
                   "     0 !!! Error, input wav header is wrong\n"
                   "     0 !!! Error, wave file swemu.wav format unrecognized\n");
}

}  // namespace
