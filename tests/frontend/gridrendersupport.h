#pragma once
// Draws a grid item in a real window and reads back its pixels: the item
// sits at a fixed offset on a black window, so its lines at x = 0 and at
// its right edge are still inside the image.

#include <QColor>
#include <QImage>
#include <QOpenGLContext>
#include <QPoint>
#include <QPointF>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSurfaceFormat>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace GridRender {

constexpr int Offset = 20;

class Scene
{
public:
    explicit Scene(QSize windowSize, const QSurfaceFormat *format = nullptr)
    {
        window = std::make_unique<QQuickWindow>();
        if (format)
            window->setFormat(*format);
        window->setColor(Qt::black);
        window->resize(windowSize);
        window->setFlags(Qt::FramelessWindowHint);
        window->show();
        exposed = QTest::qWaitForWindowExposed(window.get());
    }

    // Puts the item on the window at (Offset, Offset) with the given size.
    void place(QQuickItem *item, QSizeF size)
    {
        item->setParentItem(window->contentItem());
        item->setPosition(QPointF(Offset, Offset));
        item->setSize(size);
    }

    QImage grab()
    {
        QImage image = window->grabWindow().convertToFormat(QImage::Format_RGB32);
        // VUK_GRID_DUMP=<dir> keeps every grab for a look by eye.
        const QByteArray dir = qgetenv("VUK_GRID_DUMP");
        if (!dir.isEmpty()) {
            static int n = 0;
            image.save(QString::fromLocal8Bit(dir) + QStringLiteral("/grab%1.png").arg(n++));
        }
        return image;
    }

    std::unique_ptr<QQuickWindow> window;
    bool exposed = false;
};

// Pixel colour at item coordinates (x, y).
inline QColor at(const QImage &image, int x, int y)
{
    const int px = x + Offset;
    const int py = y + Offset;
    if (px < 0 || py < 0 || px >= image.width() || py >= image.height())
        return QColor(Qt::black);
    return image.pixelColor(px, py);
}

enum class Tone { Black, Red, Green, Blue, Other };

inline Tone tone(const QColor &c)
{
    const int r = c.red(), g = c.green(), b = c.blue();
    if (r < 40 && g < 40 && b < 40)
        return Tone::Black;
    if (r > 100 && g < 60 && b < 60)
        return Tone::Red;
    if (g > 100 && r < 60 && b < 60)
        return Tone::Green;
    if (b > 100 && r < 60 && g < 60)
        return Tone::Blue;
    return Tone::Other;
}

// Whether a pixel of the tone lies within `reach` pixels of the geometric
// point p (item coordinates; pixel (x, y) covers [x, x + 1) × [y, y + 1)).
inline bool toneNear(const QImage &image, QPointF p, Tone wanted, int reach = 1)
{
    const int x0 = int(std::floor(p.x()));
    const int y0 = int(std::floor(p.y()));
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx)
            if (tone(at(image, x0 + dx, y0 + dy)) == wanted)
                return true;
    return false;
}

// Whether everything within `reach` pixels of p is background.
inline bool blackAround(const QImage &image, QPointF p, int reach = 1)
{
    const int x0 = int(std::floor(p.x()));
    const int y0 = int(std::floor(p.y()));
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx)
            if (tone(at(image, x0 + dx, y0 + dy)) != Tone::Black)
                return false;
    return true;
}

// Centres of the runs of a tone along a row (item coordinates, x from -Offset).
inline std::vector<double> runsInRow(const QImage &image, int y, Tone wanted)
{
    std::vector<double> centres;
    int start = 0;
    bool inRun = false;
    for (int x = -Offset; x <= image.width() - Offset; ++x) {
        const bool hit = x < image.width() - Offset && tone(at(image, x, y)) == wanted;
        if (hit && !inRun) {
            start = x;
            inRun = true;
        }
        if (!hit && inRun) {
            centres.push_back((start + x - 1) / 2.0);
            inRun = false;
        }
    }
    return centres;
}

inline std::vector<double> runsInColumn(const QImage &image, int x, Tone wanted)
{
    std::vector<double> centres;
    int start = 0;
    bool inRun = false;
    for (int y = -Offset; y <= image.height() - Offset; ++y) {
        const bool hit = y < image.height() - Offset && tone(at(image, x, y)) == wanted;
        if (hit && !inRun) {
            start = y;
            inRun = true;
        }
        if (!hit && inRun) {
            centres.push_back((start + y - 1) / 2.0);
            inRun = false;
        }
    }
    return centres;
}

// Each found run lies within `tolerance` of the expected position, in order.
inline void expectRunsAt(const std::vector<double> &found, const std::vector<int> &expected, double tolerance = 1.0)
{
    std::string seen;
    for (double f : found)
        seen += std::to_string(f) + " ";
    ASSERT_EQ(found.size(), expected.size()) << "runs at " << seen;
    for (size_t i = 0; i < found.size(); ++i)
        EXPECT_NEAR(found[i], expected[i], tolerance) << "line " << i;
}

} // namespace GridRender
