#pragma once

#include <QImage>
#include <QWidget>

// The live picture, scaled to the widget with its aspect kept.
class FrameView : public QWidget {
public:
    explicit FrameView(QWidget* parent = nullptr);

    void show(const QImage& image);
    const QImage& image() const { return m_image; }
    // Where the picture lies in the widget.
    QRect imageRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};
