#include "main_win.h"

#include <QLabel>
#include <QMessageBox>
#include <QMutexLocker>
#include <QToolBar>

#include "scan_engine.h"

MainWin::MainWin()
{
    setWindowTitle(tr(kTitle));
    setWindowIcon(QIcon(":/image/logo.png"));
    resize(800, 600);
    graph_ = new Graph(this);
    setCentralWidget(graph_);
    createActions();
    createToolBars();
    createLegend();
    connect(this, &MainWin::updateGraph, graph_, QOverload<>::of(&QWidget::update));
    connect(about_, &QAction::triggered, this, &MainWin::showAbout);
    selSdr_ = -1;
    selBand_ = -1;
}

void MainWin::createActions()
{
    auto make = [this](const char* text, const char* icon, const char* tip) {
        auto* action = new QAction(QIcon(icon), tr(text), this);
        action->setStatusTip(tr(tip));
        return action;
    };
    clrDecRes_ = make("clrDecRes", ":/image/clrDecRes.png", "Clear decoding results");
    saveReport_ = make("saveReport", ":/image/saveReport.png", "Save report to file");
    about_ = make("about", ":/image/about.png", "About GSM scanner");
}

void MainWin::createToolBars()
{
    sdrBox_ = new QComboBox(this);
    sdrBox_->setStatusTip(tr("Select SDR"));
    connect(sdrBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &MainWin::setSdr);
    bandBox_ = new QComboBox(this);
    bandBox_->setStatusTip(tr("Select band"));
    connect(bandBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &MainWin::setBand);
    QToolBar* sdrBar = addToolBar(tr("Sdr"));
    sdrBar->addWidget(sdrBox_);
    sdrBar->addSeparator();
    sdrBar->addWidget(bandBox_);

    unitBox_ = new QComboBox(this);
    unitBox_->setStatusTip(tr("Select horizontal units"));
    unitBox_->addItem(tr("ARFCN"));
    unitBox_->addItem(tr("MHz"));
    connect(unitBox_, QOverload<int>::of(&QComboBox::currentIndexChanged), graph_, &Graph::setHorUnit);
    QToolBar* options = addToolBar(tr("Options"));
    options->addWidget(unitBox_);
    options->addSeparator();
    options->addAction(saveReport_);
    options->addAction(clrDecRes_);

    QToolBar* aboutBar = addToolBar(tr("About"));
    aboutBar->addAction(about_);
}

QString MainWin::legendHtml() const
{
    QString html;
    for (const OpColor& c : opColors)
        html += QString("<font color=#%1%2%3>&#9632;</font> %4 ")
                    .arg(c.r, 2, 16, QChar('0'))
                    .arg(c.g, 2, 16, QChar('0'))
                    .arg(c.b, 2, 16, QChar('0'))
                    .arg(c.name);
    return html;
}

void MainWin::createLegend()
{
    auto* legend = new QLabel(this);
    legend->setTextFormat(Qt::RichText);
    legend->setText(legendHtml());
    statusBar()->addWidget(legend, 1);
}

void MainWin::loadSdrList(const std::vector<SdrDesc>& list)
{
    sdrs_ = list;
    sdrBox_->clear();
    for (const SdrDesc& d : sdrs_)
        sdrBox_->addItem(QString::fromStdString(d.name));
    setSdr(0);
}

void MainWin::setSdr(int sdr)
{
    if (sdr < 0 || sdr == selSdr_ || size_t(sdr) >= sdrs_.size())
        return;
    selSdr_ = sdr;
    const SdrDesc& r = sdrs_[size_t(sdr)];
    statusBar()->showMessage(tr("SDR %1 selected").arg(QString::fromStdString(r.name)), 2000);
    bandBox_->clear();
    for (int row = 0; row < kBandCount; ++row) {
        const BandDesc& b = bandTable[row];
        float lo = b.firstMhz;
        float hi = b.firstMhz + float(b.count) * b.stepMhz;
        if (lo >= r.minFreq && hi <= r.maxFreq)
            bandBox_->addItem(tr(b.name), row);
    }
    emit chngSdrType(sdr);
}

void MainWin::setBand(int band)
{
    if (band < 0)
        return;
    int row = bandBox_->itemData(band).toInt();
    if (row == selBand_)
        return;
    selBand_ = row;
    statusBar()->showMessage(tr("Band %1 selected").arg(tr(bandTable[row].name)), 2000);
    graph_->setBand(row);
    emit chngSdrBand(row);
    emit updateGraph();
}

void MainWin::loadLvlMnc(const LvlMnc* pLvlMnc)
{
    if (recordLock_ != nullptr) {
        QMutexLocker hold(recordLock_);
        graph_->loadLvl(pLvlMnc);
    } else {
        graph_->loadLvl(pLvlMnc);
    }
}

void MainWin::showAbout()
{
    QMessageBox box(this);
    box.setWindowTitle(tr("About GSM scanner"));
    box.setTextFormat(Qt::RichText);
    box.setText(tr("Qarvel GSM scanner,    ver 0.0<br>"
                   "A GSM band scanner for RTL2832U dongles and recorded I/Q files."));
    box.exec();
}
