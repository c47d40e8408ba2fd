// The program's window: the level chart, the receiver, band and unit boxes, the actions and
// the operator legend. Everything that concerns the engine goes out through signals.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QMainWindow>
#include <QStatusBar>

#include <vector>

#include "graph.h"
#include "sdr.h"

struct LvlMnc;
class QMutex;

class MainWin : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Qarvel GSM scanner";

    MainWin();

    void loadSdrList(const std::vector<SdrDesc>& list);
    // The mutex that guards the records loadLvlMnc copies (the engine thread's).
    void setRecordLock(QMutex* lock) { recordLock_ = lock; }

    QAction* clrDecResAction() const { return clrDecRes_; }
    QAction* saveReportAction() const { return saveReport_; }
    QComboBox* sdrBox() const { return sdrBox_; }
    QComboBox* bandBox() const { return bandBox_; }
    QComboBox* unitBox() const { return unitBox_; }
    Graph* graph() const { return graph_; }
    QString legendHtml() const;

signals:
    void updateGraph();
    void chngSdrType(int sdr);
    void chngSdrBand(int band);

public slots:
    void setSdr(int sdr);
    void setBand(int band);
    void loadLvlMnc(const LvlMnc* pLvlMnc);
    void showAbout();

private:
    void createActions();
    void createToolBars();
    void createLegend();

    QAction* clrDecRes_ = nullptr;
    QAction* saveReport_ = nullptr;
    std::vector<SdrDesc> sdrs_;
    int selSdr_ = -1;
    int selBand_ = -1;
    QComboBox* sdrBox_ = nullptr;
    QComboBox* bandBox_ = nullptr;
    QComboBox* unitBox_ = nullptr;
    QAction* about_ = nullptr;
    Graph* graph_ = nullptr;
    QMutex* recordLock_ = nullptr;
};
