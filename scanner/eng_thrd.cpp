#include "eng_thrd.h"

#include <QDateTime>
#include <QFile>
#include <QMessageBox>
#include <QTextStream>

#include <stdexcept>

#include "console_log.h"
#include "engine_receiver.h"
#include "main_win.h"
#include "sdr_list.h"

EngThrd::EngThrd(MainWin* win) : QThread(nullptr), win_(win)
{
    // Records the chart may read before the engine first writes them.
    for (LvlMnc& r : lvlMnc_)
        r = LvlMnc{-110.0f, -1};
    sdrs_ = findSdrs();
    while (sdrs_.empty()) {
        auto answer = QMessageBox::critical(
            win, tr("Qarvel GSM scanner"),
            tr("No SDR found,\nConnect SDR and press OK to find it again\nor press Cansel to exit"),
            QMessageBox::Ok | QMessageBox::Cancel);
        if (answer != QMessageBox::Ok)
            throw std::runtime_error("No SDR found");
        sdrs_ = findSdrs();
    }
    curSdr_ = createSdr(sdrs_[0].name);
    if (!curSdr_)
        throw std::runtime_error("!!! Error, can not open " + sdrs_[0].name + "\n");
    curSdr_->start();
    try {
        eng_ = std::make_unique<ScanEng>(&EngThrd::engCb, this);
        eng_->setSdr(sdrs_[0]);
        eng_->setBand(0);
    } catch (...) {
        // The receiver's reader may already run: stop it before the object goes.
        curSdr_->stop();
        curSdr_.reset();
        eng_.reset();
        throw;
    }

    qRegisterMetaType<const LvlMnc*>("const LvlMnc*");
    connect(this, &EngThrd::loadLvlMnc, win, &MainWin::loadLvlMnc);
    connect(this, &EngThrd::updGraph, win, QOverload<>::of(&QWidget::update));
    connect(win, &MainWin::chngSdrType, this, &EngThrd::setSdr);
    connect(win, &MainWin::chngSdrBand, this, &EngThrd::setBand);
    connect(win->clrDecResAction(), &QAction::triggered, this, &EngThrd::clrRes);
    connect(win->saveReportAction(), &QAction::triggered, this, &EngThrd::saveReport);
}

EngThrd::~EngThrd()
{
    requestStop();
    wait();
    if (curSdr_)
        curSdr_->stop();
    eng_.reset();   // ends the four workers and destroys their decoders
    curSdr_.reset();
}

void EngThrd::run()
{
    while (!stop_.load()) {
        mutex_.lock();
        eng_->step();
        mutex_.unlock();
        QThread::msleep(10);
    }
}

void EngThrd::engCb(void* self, int32_t code, void* arg) { static_cast<EngThrd*>(self)->onEngCb(code, arg); }

void EngThrd::onEngCb(int32_t code, void* arg)
{
    if (serveEngineRequest(curSdr_.get(), code, arg))
        return;
    if (code == cbResults) {
        eng_->getLvlMnc(lvlMnc_);
        emit loadLvlMnc(lvlMnc_);
        emit updGraph();
    }
}

void EngThrd::openSdr(int index)
{
    const SdrDesc& desc = sdrs_[size_t(index)];
    try {
        curSdr_ = createSdr(desc.name);
    } catch (const LoggedError&) {
        // The reason is on the log already. As below, the engine goes on without a receiver.
        curSdr_.reset();
    } catch (const std::exception& e) {
        // An exception must not cross Qt's event dispatch; the engine goes on without a
        // receiver until the user picks one that opens.
        logPrintf("!!! Error, %s can not be opened: %s\n", desc.name.c_str(), e.what());
        curSdr_.reset();
    }
    if (!curSdr_)
        return;
    curSdr_->start();
    curSdr_->setRate(desc.rate);
    curSdr_->setFreq(bandTable[0].firstMhz);
}

void EngThrd::setSdr(int sdr)
{
    if (sdr < 0 || size_t(sdr) >= sdrs_.size())
        return;
    QMutexLocker hold(&mutex_);
    if (curSdr_)
        curSdr_->stop();
    curSdr_.reset();
    openSdr(sdr);
    eng_->setSdr(sdrs_[size_t(sdr)]);
}

void EngThrd::setBand(int band)
{
    if (band < 0 || band >= kBandCount)
        return;
    QMutexLocker hold(&mutex_);
    eng_->setBand(band);
}

void EngThrd::clrRes()
{
    QMutexLocker hold(&mutex_);
    eng_->clrRes();
}

void EngThrd::saveReport()
{
    const QString name =
        "GSM_scan_" + QDateTime::currentDateTime().toString("dd_MMM_yyyy_hh_mm_ss") + ".txt";
    bool opened = false, written = false;
    {
        // Only the writing holds the engine mutex: the message box below runs an event loop
        // that may deliver a queued loadLvlMnc, whose slot takes the same mutex.
        QMutexLocker hold(&mutex_);
        QFile file(name);
        opened = file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate);
        if (opened) {
            QTextStream out(&file);
            out.setCodec("UTF-8");
            eng_->writeReport(out);
            out.flush();
            written = out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
            file.close();
            written = written && file.error() == QFileDevice::NoError;
        }
    }
    if (written) {
        win_->statusBar()->showMessage(tr("Report saved to file %1").arg(name), 2000);
    } else if (opened) {
        QMessageBox::critical(win_, tr("Error"), tr("Can not write file \n") + name, QMessageBox::Ok);
    } else {
        QMessageBox::critical(win_, tr("Error"), tr("Can not open file \n") + name + tr("\n for write."),
                              QMessageBox::Ok);
    }
}

bool startScanner(std::unique_ptr<MainWin>& win, std::unique_ptr<EngThrd>& eng)
{
    try {
        win = std::make_unique<MainWin>();
        eng = std::make_unique<EngThrd>(win.get());
        win->setRecordLock(&eng->mutex());
        // Shown before the receivers are listed: the status bar hides the legend under the
        // selection messages only while the window is visible, else it draws them over it.
        win->show();
        win->loadSdrList(eng->sdrList());
        return true;
    } catch (const LoggedError&) {
    } catch (const std::exception& e) {
        logPrintf("%s", e.what());
    }
    eng.reset();
    win.reset();
    return false;
}
