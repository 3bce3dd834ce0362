#include "tabcontrol.h"

TTabControl::TTabControl(QWidget *parent)
    : QTabBar(parent)
{
    setExpanding(false);
    setUsesScrollButtons(false);
    setDrawBase(false);
}

void TTabControl::setTabWidth(int width)
{
    tabWidth_ = width;
    updateGeometry();
    update();
}

QSize TTabControl::tabSizeHint(int index) const
{
    QSize size = QTabBar::tabSizeHint(index);
    if (tabWidth_ > 0)
        size.setWidth(tabWidth_);
    return size;
}

QSize TTabControl::minimumTabSizeHint(int index) const
{
    return tabSizeHint(index);
}
