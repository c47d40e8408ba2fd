// The program as a user starts it, offscreen: the window, the engine thread and the workers on
// a generated recording with three cells, through the real decoder library.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <filesystem>
#include <stdexcept>

#include "eng_thrd.h"
#include "gsmsiggen.h"
#include "main_win.h"
#include "scanner_test_util.h"
#include "scratch_pool.h"

// Resources of a static library are registered by name from the global namespace.
static void initScannerResources() { Q_INIT_RESOURCE(scanner); }

namespace {

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

void writeThreeCells()
{
    struct Spec { int channel, mnc; uint16_t lac, ci; uint8_t bsic; std::vector<int> list; };
    std::vector<gsmsig::WideCarrier> carriers;
    for (const Spec& s : {Spec{-2, 1, 1000, 101, 12, {980}}, Spec{0, 99, 2000, 202, 33, {1000}},
                          Spec{2, 2, 3000, 303, 45, {995}}}) {
        gsmsig::WideCarrier w;
        w.channel = s.channel;
        w.startFrame = 357;
        w.cell.mcc = 250;
        w.cell.mnc = s.mnc;
        w.cell.lac = s.lac;
        w.cell.ci = s.ci;
        w.cell.bsic = s.bsic;
        w.cell.channels = s.list;
        carriers.push_back(w);
    }
    std::string err;
    ASSERT_TRUE(gsmsig::writeSwemuWav("swemu.wav", carriers, gsmsig::WideOptions{}, &err)) << err;
}

// Answers the next modal message box with the given button, once it shows.
void answerNextBox(QMessageBox::StandardButton button)
{
    QTimer::singleShot(200, [button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            answerNextBox(button);
            return;
        }
        box->button(button)->click();
    });
}

bool waitFor(const std::function<bool()>& done, int seconds)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

TEST(Program, DecodesTheCellsShowsTheirColoursAndSavesTheReport)
{
    app();
    TempDir dir;
    writeThreeCells();
    MainWin win;
    EngThrd eng(&win);
    win.setRecordLock(&eng.mutex());
    win.loadSdrList(eng.sdrList());
    ASSERT_EQ(win.sdrBox()->currentText(), "SWEMU");
    win.show();
    eng.start(QThread::InheritPriority);

    Graph* g = win.graph();
    const QColor mts(236, 29, 35), beeline(255, 225, 0), megafon(0, 153, 91);
    const bool decoded = waitFor([&] {
        return g->barColor(2) == mts && g->barColor(4) == beeline && g->barColor(6) == megafon;
    }, 150);
    QImage shot = win.grab().toImage();
    shot.save(QString(SCANNER_ARTIFACTS) + "/scanner_window.png");
    ASSERT_TRUE(decoded) << "colours " << g->barColor(2).name().toStdString() << " "
                         << g->barColor(4).name().toStdString() << " " << g->barColor(6).name().toStdString();
    // The grabbed chart shows the operators' colours in the bars of their channels.
    QImage chart = g->grab().toImage();
    QMutexLocker hold(&eng.mutex());
    EXPECT_EQ(chart.pixelColor(g->barRect(4, -90.0f).bottomLeft() + QPoint(1, -2)), beeline);
    hold.unlock();

    win.saveReportAction()->trigger();
    QStringList reports = QDir(".").entryList({"GSM_scan_*.txt"});
    ASSERT_EQ(reports.size(), 1);
    QFile file(reports[0]);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(" ARFCN    MHz     dBm   MCC  MNC   LAC     CI     Type    BCCH \n"));
    EXPECT_TRUE(text.contains("   977   925.6  ")) << text.toStdString();
    EXPECT_TRUE(text.contains("  250    1   1000    101  BCCH+TCH"));
    EXPECT_TRUE(text.contains("  250   99   2000    202  BCCH+TCH"));
    EXPECT_TRUE(text.contains("  250    2   3000    303  BCCH+TCH"));

    eng.requestStop();
    eng.wait();
}

TEST(Program, FailedReportShowsTheErrorWithoutDeadlock)
{
    app();
    TempDir dir;
    writeThreeCells();
    MainWin win;
    EngThrd eng(&win);
    win.setRecordLock(&eng.mutex());
    win.loadSdrList(eng.sdrList());
    eng.start(QThread::InheritPriority);
    // A working directory that no longer exists: the report cannot be opened.
    std::filesystem::create_directory("gone");
    std::filesystem::current_path("gone");
    std::filesystem::remove(std::filesystem::current_path());
    answerNextBox(QMessageBox::Ok);
    QElapsedTimer t;
    t.start();
    win.saveReportAction()->trigger();   // returns once the box is answered
    EXPECT_LT(t.elapsed(), 30000);
    std::filesystem::current_path(dir.path());
    eng.requestStop();
    eng.wait();
}

TEST(Program, NoReceiverAsksAndCancelEndsStartUp)
{
    app();
    TempDir dir;   // no swemu.wav, and the stand-in librtlsdr lists no dongle
    MainWin win;
    answerNextBox(QMessageBox::Cancel);
    try {
        EngThrd eng(&win);
        FAIL() << "start-up must fail without a receiver";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "No SDR found");
    }
}

}  // namespace
