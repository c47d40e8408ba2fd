// The engine thread: owns the scan engine, the current receiver and the chart records; runs
// the engine step by step on its own thread and serves the window's requests under one mutex.
#pragma once

#include <QMutex>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

#include "scan_engine.h"
#include "sdr.h"

class MainWin;

Q_DECLARE_METATYPE(const LvlMnc*)

class EngThrd : public QThread {
    Q_OBJECT
public:
    // Finds the receivers (asking the user to connect one while there is none), opens the
    // first and builds the engine. Throws std::runtime_error with "No SDR found" on Cancel, or
    // with the engine's own start-up failure.
    explicit EngThrd(MainWin* win);
    ~EngThrd() override;

    const std::vector<SdrDesc>& sdrList() const { return sdrs_; }
    void requestStop() { stop_.store(true); }
    QMutex& mutex() { return mutex_; }

signals:
    void loadLvlMnc(const LvlMnc* pLvlMnc);
    void updGraph();

public slots:
    void setSdr(int sdr);
    void setBand(int band);
    void clrRes();
    void saveReport();

protected:
    void run() override;

private:
    static void engCb(void* self, int32_t code, void* arg);
    void onEngCb(int32_t code, void* arg);
    void openSdr(int index);

    std::unique_ptr<ScanEng> eng_;
    std::unique_ptr<AbstSdr> curSdr_;
    MainWin* win_;
    QMutex mutex_;
    std::vector<SdrDesc> sdrs_;
    LvlMnc lvlMnc_[kMaxChannels];
    std::atomic<bool> stop_{false};
};

// Builds the window and the engine thread object as the program starts: the window shown, its
// receiver box filled. A failure is logged once (one already logged where it happened is not
// logged again), whatever was built is released, and the result is false.
bool startScanner(std::unique_ptr<MainWin>& win, std::unique_ptr<EngThrd>& eng);
