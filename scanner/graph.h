// The level chart: one bar per channel of the band, its height the level in dBm between
// -110 and -30, its colour the operator of the cell decoded on the channel.
#pragma once

#include <QColor>
#include <QMap>
#include <QWidget>

#include <vector>

struct BandDesc;
struct LvlMnc;

class Graph : public QWidget {
    Q_OBJECT
public:
    explicit Graph(QWidget* parent = nullptr);

    void setBand(int row);
    void loadLvl(const LvlMnc* records);
    static float arfcnToMhz(int n);

    // The scale, for the tests.
    int plotW() const { return plotW_; }
    int plotH() const { return plotH_; }
    float pxPerChan() const { return pxPerChan_; }
    float pxPerDb() const { return pxPerDb_; }
    int chanTick() const { return chanTick_; }
    int dbTick() const { return dbTick_; }
    int chanTickOff() const { return chanTickOff_; }
    int dbTickOff() const { return dbTickOff_; }
    int horUnit() const { return horUnit_; }
    QColor barColor(int channel) const { return chans_[size_t(channel)].color; }
    // Pixel rectangle of channel i's bar for a level in dBm (left, top, right, bottom).
    QRect barRect(int i, float level) const;
    QString axisLabel(int tick) const;

public slots:
    void zoomFull();
    void setHorUnit(int horUnit);

protected:
    void resizeEvent(QResizeEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    struct Chan {
        float level;
        QColor color;
    };

    void calcScale();
    void drawFrame(QPainter& p);
    void drawVerAxis(QPainter& p);
    void drawHorAxis(QPainter& p);
    void drawBars(QPainter& p);

    int horUnit_ = 0;
    int plotW_ = 0, plotH_ = 0;
    int bandFirst_ = 0, bandCount_ = 0;
    int viewFirst_ = 0, viewCount_ = 0, viewTop_ = -30, viewSpan_ = 80;
    float pxPerChan_ = 0, pxPerDb_ = 0;
    int chanTick_ = 1, dbTick_ = 1, chanTickOff_ = 0, dbTickOff_ = 0;
    std::vector<Chan> chans_;
    QMap<int, QColor> mncColor_;
};
