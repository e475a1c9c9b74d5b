#include "bottom_bar.h"

namespace tarnwick {

namespace {

constexpr int Margin = 8;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int LogoWidth = 125;
constexpr int LogoHeight = 31;
constexpr int BarHeight = 35;

} // namespace

int logoLeft(int windowWidth) {
    return windowWidth <= 432 ? 153 : windowWidth / 2 - 63;
}

BottomBar::BottomBar(QWidget* parent) : QWidget(parent) {
    setFixedHeight(BarHeight);
    setMinimumWidth(2 * Margin + 3 * ButtonWidth + LogoWidth);
}

void BottomBar::place(QWidget* demux, QWidget* rebuild, QWidget* logo, QWidget* cancel) {
    demux_ = demux;
    rebuild_ = rebuild;
    logo_ = logo;
    cancel_ = cancel;
    for (QWidget* w : {demux, rebuild, logo, cancel})
        w->setParent(this);
    arrange();
}

void BottomBar::resizeEvent(QResizeEvent*) {
    arrange();
}

void BottomBar::arrange() {
    if (!demux_) return;
    const int buttonTop = (height() - ButtonHeight) / 2;
    demux_->setGeometry(Margin, buttonTop, ButtonWidth, ButtonHeight);
    rebuild_->setGeometry(Margin + ButtonWidth + Margin, buttonTop, ButtonWidth, ButtonHeight);
    logo_->setGeometry(logoLeft(width()), (height() - LogoHeight) / 2, LogoWidth, LogoHeight);
    cancel_->setGeometry(width() - Margin - ButtonWidth, buttonTop, ButtonWidth, ButtonHeight);
}

} // namespace tarnwick
