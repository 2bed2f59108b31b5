// SPDX-License-Identifier: GPL-3.0-or-later
// The least a tray utility of this kind costs: a fixed window of Kelvane's size, an icon in
// the notification area, and two idle timers at Kelvane's periods. It draws no text, unless
// started with --text: then two lines, one of them bold, as any window with words has. With
// --tick its faster timer repaints a black box the size of Kelvane's graph and moves a green
// line across it: the least a window whose graph moves every second costs. The benchmark
// runner measures it beside Kelvane.
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace {

class Box final : public QWidget
{
public:
    using QWidget::QWidget;
    void step()
    {
        ++m_column;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.fillRect(m_column % width(), 2, 1, height() - 4, Qt::green);
    }

private:
    int m_column = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare tray"));
    window.setFixedSize(312, 114);
    if (QApplication::arguments().contains(QStringLiteral("--text"))) {
        auto *line = new QLabel(QStringLiteral("Free: 22918.7 MB - Usage: 4.9% of 24105.3 MB"), &window);
        line->move(8, 8);
        auto *figure = new QLabel(QStringLiteral("95%"), &window);
        QFont bold = figure->font();
        bold.setBold(true);
        figure->setFont(bold);
        figure->move(8, 40);
    }
    Box *box = nullptr;
    if (QApplication::arguments().contains(QStringLiteral("--tick"))) {
        box = new Box(&window);
        box->setGeometry(198, 2, 108, 30);
    }

    QPixmap picture(32, 32);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setPen(Qt::black);
        painter.setBrush(QColor(160, 160, 160));
        painter.drawRect(4, 8, 23, 15);
    }
    const QIcon icon(picture);
    window.setWindowIcon(icon);
    QSystemTrayIcon tray(icon);
    tray.show();

    int ticks = 0;
    QTimer status;
    QObject::connect(&status, &QTimer::timeout, [&ticks] { ++ticks; });
    status.start(3000);
    QTimer graph;
    QObject::connect(&graph, &QTimer::timeout, [&ticks, box] {
        ++ticks;
        if (box)
            box->step();
    });
    graph.start(1000);

    window.show();
    return QApplication::exec();
}
