#include "frameview.h"

#include <QPainter>

FrameView::FrameView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(320, 240);
    setAutoFillBackground(true);
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    setPalette(dark);
}

void FrameView::show(const QImage& image) {
    m_image = image;
    update();
}

QRect FrameView::imageRect() const {
    if (m_image.isNull()) {
        return QRect();
    }
    QSize size = m_image.size();
    size.scale(this->size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

void FrameView::paintEvent(QPaintEvent*) {
    if (m_image.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(imageRect(), m_image);
}
