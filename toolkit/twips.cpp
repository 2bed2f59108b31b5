// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/twips.h"

#include "toolkit/picturebox.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace toolkit {
namespace {

constexpr double TwipsPerInch = 1440.0;
constexpr double FallbackDpi = 96.0;

double dpi(bool horizontal)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return FallbackDpi;
    const double value = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return value > 0 ? value : FallbackDpi;
}

QPoint clientOrigin(const QWidget *container)
{
    if (const auto *box = qobject_cast<const PictureBox *>(container))
        return box->innerRect().topLeft();
    return {};
}

} // namespace

double twipsPerPixelX() { return TwipsPerInch / dpi(true); }
double twipsPerPixelY() { return TwipsPerInch / dpi(false); }

double pixelsFromTwips(double twips, double tpp)
{
    const double pixels = twips / tpp;
    const double whole = std::round(pixels);
    return std::abs(pixels - whole) < 1e-3 ? whole : pixels;
}

int twipsToPixelsX(double twips) { return static_cast<int>(std::lround(twips / twipsPerPixelX())); }
int twipsToPixelsY(double twips) { return static_cast<int>(std::lround(twips / twipsPerPixelY())); }

double screenWidthTwips()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().width() * twipsPerPixelX() : 0.0;
}

double screenHeightTwips()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().height() * twipsPerPixelY() : 0.0;
}

void moveTwips(QWidget *control, double left, std::optional<double> top, std::optional<double> width,
               std::optional<double> height)
{
    const QPoint origin = clientOrigin(control->parentWidget());
    const int x = origin.x() + twipsToPixelsX(left);
    const int y = top ? origin.y() + twipsToPixelsY(*top) : control->y();
    // A negative width or height is no size at all; the control collapses instead of failing.
    const int w = width ? std::max(0, twipsToPixelsX(*width)) : control->width();
    const int h = height ? std::max(0, twipsToPixelsY(*height)) : control->height();
    control->setGeometry(x, y, w, h);
}

double leftTwips(const QWidget *control)
{
    return (control->x() - clientOrigin(control->parentWidget()).x()) * twipsPerPixelX();
}

double topTwips(const QWidget *control)
{
    return (control->y() - clientOrigin(control->parentWidget()).y()) * twipsPerPixelY();
}

double widthTwips(const QWidget *control) { return control->width() * twipsPerPixelX(); }
double heightTwips(const QWidget *control) { return control->height() * twipsPerPixelY(); }

} // namespace toolkit
