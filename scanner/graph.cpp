#include "graph.h"

#include <QPainter>
#include <QPen>

#include "scan_engine.h"
#include "sdr.h"

namespace {

constexpr int kUnknownMnc = -1;   // the colour table's "Unknown" row

QPen linePen()
{
    QPen pen(QColor(kChartInk[0], kChartInk[1], kChartInk[2]));
    pen.setWidthF(0.7);
    pen.setStyle(Qt::SolidLine);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::BevelJoin);
    return pen;
}

int firstTick(int count)
{
    for (int s : {1, 2, 5, 10, 20, 50, 100})
        if (count / s < 21)
            return s;
    return 100;
}

int firstDbTick(int span)
{
    for (int s : {1, 2, 5, 10, 20, 50, 100})
        if (span / s < 16)
            return s;
    return 100;
}

}  // namespace

Graph::Graph(QWidget* parent) : QWidget(parent), chans_(kMaxChannels, Chan{-110.0f, QColor(0xc0, 0xc0, 0xc0)})
{
    for (const OpColor& c : opColors)
        mncColor_.insert(c.mnc, QColor(c.r, c.g, c.b));
    setBand(0);
}

void Graph::setBand(int row)
{
    bandFirst_ = bandTable[row].firstArfcn;
    bandCount_ = bandTable[row].count;
    zoomFull();
}

void Graph::zoomFull()
{
    viewFirst_ = 0;
    viewCount_ = bandCount_;
    viewTop_ = -30;
    viewSpan_ = 80;
    calcScale();
}

void Graph::loadLvl(const LvlMnc* records)
{
    for (int i = 0; i < bandCount_; ++i) {
        chans_[size_t(i)].level = records[i].lvl;
        // A network missing from the table is shown as unknown: no colour at all would paint
        // black, which is Tele2's.
        chans_[size_t(i)].color = mncColor_.value(records[i].mnc, mncColor_.value(kUnknownMnc));
    }
}

void Graph::setHorUnit(int horUnit)
{
    horUnit_ = horUnit;
    update();
}

void Graph::calcScale()
{
    plotW_ = width() - 40;
    plotH_ = height() - 40;
    pxPerChan_ = float(plotW_) / float(viewCount_);
    pxPerDb_ = float(plotH_) / float(viewSpan_);
    chanTick_ = firstTick(viewCount_);
    dbTick_ = firstDbTick(viewSpan_);
    chanTickOff_ = chanTick_ - ((bandFirst_ + viewFirst_ + chanTick_) % chanTick_);
    dbTickOff_ = dbTick_ - ((viewTop_ + dbTick_) % dbTick_);
}

void Graph::resizeEvent(QResizeEvent* pEvent)
{
    calcScale();
    QWidget::resizeEvent(pEvent);
}

void Graph::paintEvent(QPaintEvent* pEvent)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    drawFrame(p);
    drawVerAxis(p);
    drawHorAxis(p);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    drawBars(p);
    p.end();
    QWidget::paintEvent(pEvent);
}

void Graph::drawFrame(QPainter& p)
{
    p.setPen(linePen());
    p.setBrush(QBrush(QColor(kChartBack[0], kChartBack[1], kChartBack[2]), Qt::SolidPattern));
    p.drawRect(QRect(QPoint(1, 1), QPoint(plotW_ - 2, plotH_ - 2)));
    for (int c = chanTickOff_; c < viewCount_; c += chanTick_) {
        int x = int(float(c) * pxPerChan_ + 1.0f);
        p.drawLine(x, 1, x, plotH_ - 2);
    }
    for (int c = dbTickOff_; c < viewSpan_; c += dbTick_) {
        int y = int(float(c) * pxPerDb_);
        p.drawLine(1, y, plotW_ - 2, y);
    }
}

void Graph::drawVerAxis(QPainter& p)
{
    p.setPen(linePen());
    p.setFont(QFont("Helvetica", 8));
    p.drawRect(QRect(QPoint(plotW_, 1), QPoint(plotW_ + 37, plotH_ - 2)));
    for (int c = dbTickOff_; c < viewSpan_; c += dbTick_) {
        int y = int(pxPerDb_ * float(c));
        p.drawLine(plotW_, y, plotW_ + 6, y);
        p.drawLine(plotW_ + 33, y, plotW_ + 39, y);
    }
    for (int c = dbTickOff_; c < viewSpan_; c += dbTick_) {
        int t = int(float(c) * pxPerDb_ - 4.0f);
        p.drawText(QRect(QPoint(plotW_ + 6, t), QPoint(plotW_ + 33, t + 7)), Qt::AlignCenter,
                   QString::number(viewTop_ - c));
    }
}

QString Graph::axisLabel(int c) const
{
    int a = (c + bandFirst_ + viewFirst_) & 1023;
    return horUnit_ == 0 ? QString::number(a) : QString::number(double(arfcnToMhz(a)), 'f', 1);
}

void Graph::drawHorAxis(QPainter& p)
{
    p.setPen(linePen());
    p.setFont(QFont("Helvetica", 8));
    p.drawRect(QRect(QPoint(1, plotH_), QPoint(plotW_ - 2, plotH_ + 37)));
    for (int c = chanTickOff_; c < viewCount_; c += chanTick_) {
        int x = int(float(c) * pxPerChan_ + 0.5f * pxPerChan_);
        p.drawLine(x, plotH_, x, plotH_ + 9);
        p.drawLine(x, plotH_ + 30, x, plotH_ + 39);
    }
    for (int c = chanTickOff_; c < viewCount_; c += chanTick_) {
        int s = int(float(c) * pxPerChan_ + 0.5f * pxPerChan_ - 14.0f);
        p.drawText(QRect(QPoint(s, plotH_ + 16), QPoint(s + 27, plotH_ + 23)), Qt::AlignCenter,
                   axisLabel(c));
    }
}

QRect Graph::barRect(int i, float level) const
{
    float h = level - float(viewTop_ - viewSpan_);
    h = h < float(viewSpan_ - 1) ? h : float(viewSpan_ - 1);
    h = h > 1.0f ? h : 1.0f;
    int x1 = int(float(i) * pxPerChan_ + 1.0f);
    return QRect(QPoint(x1, plotH_ - 1),
                 QPoint(x1 + int(0.8f * pxPerChan_) - 1, plotH_ - 2 - int(pxPerDb_ * h)))
        .normalized();
}

void Graph::drawBars(QPainter& p)
{
    p.setPen(Qt::NoPen);
    for (int i = 0; i < viewCount_; ++i) {
        p.setBrush(QBrush(chans_[size_t(i)].color, Qt::SolidPattern));
        p.drawRect(barRect(i, chans_[size_t(i)].level));
    }
}

float Graph::arfcnToMhz(int n)
{
    const double step = double(0.2f);
    double mhz;
    if (n >= 0 && n <= 124)
        mhz = 890.0 + 45.0 + step * n;
    else if (n >= 975 && n <= 1023)
        mhz = 890.0 + 45.0 + step * (n - 1024);
    else if (n >= 512 && n <= 885)
        mhz = double(1710.2f) + 95.0 + step * (n - 512);
    else
        return -1.0f;
    return float(mhz);
}
