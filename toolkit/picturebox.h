// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "toolkit/click.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <memory>

class QPainter;

namespace toolkit {

// A picture box: a container with a background colour and an optional flat one-pixel
// border, which keeps what is drawn on it in a persistent image of its inner area.
//
// Coordinates of the drawing operations are pixels from the top-left of the inner area.
// Drawing outside the inner area is clipped. The background picture is what the box shows
// under the image until something is drawn; pictureImage() hands it back for painting.
class PictureBox final : public QWidget
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);
    ~PictureBox() override;

    void setBorder(bool flat);
    bool hasBorder() const { return m_border; }
    QRect innerRect() const;

    void setBackColor(const QColor &color);
    QColor backColor() const { return m_backColor; }

    // Scale width and height: the inner area in pixels.
    double scaleWidth() const { return innerRect().width(); }
    double scaleHeight() const { return innerRect().height(); }

    // Drawing on the persistent image. Lines include both end points. All drawing goes through
    // one painter that stays open on the image (the raster engine writes at once, so the image
    // is always current, and a copy of it is a deep copy while the painter is open).
    void line(QPointF from, QPointF to, const QColor &color);
    void pset(QPointF at, const QColor &color);

    // Moves the persistent image one pixel to the left, in place; the last column keeps what it
    // held. The same as painting the image on itself one pixel to the left, without a copy.
    void scrollLeft();

    // The persistent image (a copy shares its data until either is drawn on).
    const QImage &image();
    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void ensureImage();
    QPainter &painter();
    void endDrawing();

    QColor m_backColor = Qt::white;
    QImage m_image;
    QImage m_picture;
    std::unique_ptr<QPainter> m_painter;
    bool m_border = false;
    Click m_click;
};

} // namespace toolkit
