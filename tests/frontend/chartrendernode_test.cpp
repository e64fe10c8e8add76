// Drawing and picking through the real Qt Quick scene graph on OpenGL: a
// chart in a window, traces at known rows, pixels read back from the window
// and pointer events sent through the window system.
#include "frontend/chartitem.h"
#include "frontend/trace.h"

#include "chartwindowsupport.h"

#include <QOffscreenSurface>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSignalSpy>
#include <QSurfaceFormat>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

using namespace ChartWindowSupport;
using namespace Korvel::Frontend;

namespace {

// Columns of `frame` in [first, last] with no pixel other than `background`
// within `slack` rows of row(x).
int columnsWithoutLine(const QImage &frame, int first, int last, const std::function<double(int)> &row,
                       const QColor &background, int slack = 3)
{
    int gaps = 0;
    for (int x = first; x <= last; ++x) {
        bool lit = false;
        const int centre = int(std::lround(row(x)));
        for (int y = std::max(0, centre - slack); y <= std::min(frame.height() - 1, centre + slack); ++y)
            lit = lit || QColor(frame.pixel(x, y)) != background;
        gaps += lit ? 0 : 1;
    }
    return gaps;
}

// The renderer's name when the platform's rasteriser drops line segments
// shorter than a pixel in multisampled frame buffers (Mesa's llvmpipe
// does), empty otherwise. A trace's 4096 vertices make such segments on any
// plot narrower than 4096 pixels, so there its anti-aliased drawing cannot
// be continuous. Checked with plain GL on a context of its own: a
// horizontal strip of 4096 vertices against one of 2 over the same span.
QByteArray rendererDroppingShortMultisampledLines()
{
    static const QByteArray renderer = []() -> QByteArray {
        QOpenGLContext context;
        if (!context.create())
            return {};
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        if (!context.makeCurrent(&surface))
            return {};
        QOpenGLFunctions *gl = context.functions();
        QOpenGLShaderProgram program;
        program.addShaderFromSourceCode(QOpenGLShader::Vertex,
                                        "attribute highp vec2 p;\nvoid main() { gl_Position = vec4(p, 0.0, 1.0); }\n");
        program.addShaderFromSourceCode(QOpenGLShader::Fragment,
                                        "#ifdef GL_ES\nprecision mediump float;\n#endif\n"
                                        "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n");
        program.bindAttributeLocation("p", 0);
        if (!program.link())
            return {};
        const QSize size(300, 20);
        auto emptyColumns = [&](int vertices) {
            QOpenGLFramebufferObjectFormat format;
            format.setSamples(8);
            QOpenGLFramebufferObject multisampled(size, format);
            QOpenGLFramebufferObject resolved(size);
            if (multisampled.format().samples() == 0)
                return 0;
            multisampled.bind();
            gl->glViewport(0, 0, size.width(), size.height());
            gl->glClearColor(0, 0, 0, 0);
            gl->glClear(GL_COLOR_BUFFER_BIT);
            std::vector<float> strip;
            for (int i = 0; i < vertices; ++i)
                strip.insert(strip.end(), {-1.0f + 2.0f * i / (vertices - 1), 0.05f});
            QOpenGLBuffer buffer;
            buffer.create();
            buffer.bind();
            buffer.allocate(strip.data(), int(strip.size() * sizeof(float)));
            program.bind();
            program.enableAttributeArray(0);
            program.setAttributeBuffer(0, GL_FLOAT, 0, 2, 0);
            gl->glLineWidth(3.0f);
            gl->glDrawArrays(GL_LINE_STRIP, 0, vertices);
            buffer.release();
            QOpenGLFramebufferObject::blitFramebuffer(&resolved, &multisampled);
            const QImage image = resolved.toImage();
            int empty = 0;
            for (int x = 2; x < size.width() - 2; ++x) {
                bool lit = false;
                for (int y = 0; y < size.height(); ++y)
                    lit = lit || qAlpha(image.pixel(x, y)) > 0;
                empty += lit ? 0 : 1;
            }
            return empty;
        };
        const bool drops = emptyColumns(2) == 0 && emptyColumns(Trace::PointCount) > 0;
        const QByteArray name = reinterpret_cast<const char *>(gl->glGetString(GL_RENDERER));
        context.doneCurrent();
        return drops ? name : QByteArray();
    }();
    return renderer;
}

struct Spies
{
    explicit Spies(AbstractTrace *t)
        : pressed(t, &AbstractTrace::pressed),
          released(t, &AbstractTrace::released),
          clicked(t, &AbstractTrace::clicked),
          doubleClicked(t, &AbstractTrace::doubleClicked),
          hovered(t, &AbstractTrace::hovered)
    {}
    int total() const
    {
        return pressed.count() + released.count() + clicked.count() + doubleClicked.count() + hovered.count();
    }
    QSignalSpy pressed, released, clicked, doubleClicked, hovered;
};

class ChartOnOpenGL : public ::testing::Test, protected ChartWindow
{
protected:
    static constexpr int W = 300;
    static constexpr int H = 200;

    // Changes to the surface the window asks for; none by default.
    virtual void adjustFormat(QSurfaceFormat &) const {}

    void SetUp() override
    {
        create(QSize(W, H));
        QSurfaceFormat format = window->requestedFormat();
        adjustFormat(format);
        window->setFormat(format);
        window->setColor(Qt::white);
        chart->setAntialiasing(false); // exact colours
        ASSERT_TRUE(show());
        ASSERT_TRUE(waitUntil("window->rendererInterface() != nullptr",
                              [this] { return window->rendererInterface() != nullptr; }));
        ASSERT_EQ(window->rendererInterface()->graphicsApi(), QSGRendererInterface::OpenGL);
    }

    void TearDown() override
    {
        window.reset();
        traces.clear();
    }

    // Domain y whose pixel row (from the top) is `row`: (0, 10) over H rows.
    static double yAtRow(int row) { return 10.0 - (row + 0.5) * 10.0 / H; }

    Trace *addTrace(const QColor &color, const QVector<QPointF> &points, double z = 0)
    {
        traces.push_back(std::make_unique<Trace>());
        Trace *t = traces.back().get();
        t->setColor(color);
        t->setLineWidth(3.0f);
        t->setZ(z);
        t->domain()->setXRange(QPointF(0, 10));
        t->domain()->setYRange(QPointF(0, 10));
        t->replace(points);
        chart->addTrace(t);
        return t;
    }

    Trace *addRow(const QColor &color, int row, double z = 0)
    {
        const double y = yAtRow(row);
        return addTrace(color, {QPointF(0, y), QPointF(10, y)}, z);
    }

    QColor pixel(QPoint p)
    {
        const QImage frame = window->grabWindow();
        return frame.rect().contains(p) ? QColor(frame.pixel(p)) : QColor();
    }

    bool waitForPixel(QPoint p, const QColor &expected)
    {
        return waitUntil("pixel(p) == expected", [&] { return pixel(p) == expected; });
    }

    std::vector<std::unique_ptr<Trace>> traces;
};

const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);
const QColor green(0, 255, 0);
const QColor white(255, 255, 255);

TEST_F(ChartOnOpenGL, DrawsEachTraceAtTheRowsOfItsValues)
{
    addRow(red, 100);
    addRow(blue, 40);
    ASSERT_TRUE(waitForPixel({150, 100}, red));
    const QImage frame = window->grabWindow();
    EXPECT_EQ(QColor(frame.pixel(150, 40)), blue);
    EXPECT_EQ(QColor(frame.pixel(10, 100)), red);
    EXPECT_EQ(QColor(frame.pixel(290, 40)), blue);
    for (int row : {0, 70, 150, 199})
        EXPECT_EQ(QColor(frame.pixel(150, row)), white) << row;
}

TEST_F(ChartOnOpenGL, ColourAndVisibilityChangesReachTheScreen)
{
    Trace *t = addRow(red, 100);
    ASSERT_TRUE(waitForPixel({150, 100}, red));
    t->setColor(green);
    EXPECT_TRUE(waitForPixel({150, 100}, green));
    t->setVisible(false);
    EXPECT_TRUE(waitForPixel({150, 100}, white));
    t->setVisible(true);
    EXPECT_TRUE(waitForPixel({150, 100}, green));
}

TEST_F(ChartOnOpenGL, ValuesOutsideTheRangeAreHeldOnePixelInside)
{
    addTrace(red, {QPointF(0, 50), QPointF(10, 50)}); // far above y max 10
    ASSERT_TRUE(waitForPixel({150, 1}, red));
    EXPECT_EQ(pixel({150, 10}), white);
}

TEST_F(ChartOnOpenGL, LongSeriesKeepsItsSpike)
{
    QVector<QPointF> data;
    for (int i = 0; i < 8192; ++i)
        data.append(QPointF(10.0 * i / 8191, i == 5000 ? yAtRow(20) : yAtRow(180)));
    addTrace(red, data);
    const int spikeColumn = int(5000.0 / 8191 * W);
    ASSERT_TRUE(waitForPixel({150, 180}, red));
    bool spikeShown = false;
    const QImage frame = window->grabWindow();
    for (int x = spikeColumn - 2; x <= spikeColumn + 2; ++x)
        spikeShown = spikeShown || QColor(frame.pixel(x, 24)) == red; // just below its tip
    EXPECT_TRUE(spikeShown);
    EXPECT_EQ(QColor(frame.pixel(100, 24)), white);
}

TEST_F(ChartOnOpenGL, ClickOnTraceReportsPressReleaseAndClickAtTheDomainPoint)
{
    Trace *t = addRow(red, 100);
    Spies spies(t);
    ASSERT_TRUE(waitForPixel({150, 100}, red));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 100));
    ASSERT_TRUE(waitUntil("spies.clicked.count() == 1", [&] { return spies.clicked.count() == 1; }));
    ASSERT_EQ(spies.pressed.count(), 1);
    ASSERT_EQ(spies.released.count(), 1);
    const QPointF point = spies.clicked.at(0).at(0).toPointF();
    EXPECT_DOUBLE_EQ(point.x(), 5.0); // 150 of 300 pixels over (0, 10)
    EXPECT_DOUBLE_EQ(point.y(), 5.0); // 100 of 200 rows from the top
    EXPECT_EQ(spies.pressed.at(0).at(0).toPointF(), point);
}

TEST_F(ChartOnOpenGL, PressOnEmptyAreaReportsNothing)
{
    Trace *t = addRow(red, 100);
    Spies spies(t);
    ASSERT_TRUE(waitForPixel({150, 100}, red));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 170));
    QTest::qWait(300);
    EXPECT_EQ(spies.total(), 0);
    // The pipeline is alive: a click on the trace right after is answered once.
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(60, 100));
    ASSERT_TRUE(waitUntil("spies.clicked.count() == 1", [&] { return spies.clicked.count() == 1; }));
    QTest::qWait(100);
    EXPECT_EQ(spies.clicked.count(), 1);
    EXPECT_EQ(spies.pressed.count(), 1);
}

TEST_F(ChartOnOpenGL, ReleaseAwayFromTheTraceClicksAtThePressPosition)
{
    Trace *t = addRow(red, 100);
    Spies spies(t);
    ASSERT_TRUE(waitForPixel({150, 100}, red));
    QTest::mousePress(window.get(), Qt::LeftButton, {}, QPoint(90, 100));
    QTest::mouseMove(window.get(), QPoint(200, 170));
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(250, 180));
    ASSERT_TRUE(waitUntil("spies.clicked.count() == 1", [&] { return spies.clicked.count() == 1; }));
    ASSERT_EQ(spies.released.count(), 1);
    EXPECT_DOUBLE_EQ(spies.released.at(0).at(0).toPointF().x(), 3.0);
    EXPECT_DOUBLE_EQ(spies.clicked.at(0).at(0).toPointF().x(), 3.0);
    EXPECT_DOUBLE_EQ(spies.clicked.at(0).at(0).toPointF().y(), 5.0);
}

TEST_F(ChartOnOpenGL, DoubleClickOnTrace)
{
    Trace *t = addRow(red, 100);
    Spies spies(t);
    ASSERT_TRUE(waitForPixel({150, 100}, red));
    QTest::mouseDClick(window.get(), Qt::LeftButton, {}, QPoint(120, 100));
    ASSERT_TRUE(waitUntil("spies.doubleClicked.count() == 1", [&] { return spies.doubleClicked.count() == 1; }));
    EXPECT_DOUBLE_EQ(spies.doubleClicked.at(0).at(0).toPointF().x(), 4.0);
}

TEST_F(ChartOnOpenGL, HoverEntersAndLeavesTracesInTurn)
{
    Trace *a = addRow(red, 60);
    Trace *b = addRow(blue, 140);
    Spies sa(a), sb(b);
    ASSERT_TRUE(waitForPixel({150, 140}, blue));

    QTest::mouseMove(window.get(), QPoint(150, 20));
    QTest::qWait(100);
    QTest::mouseMove(window.get(), QPoint(150, 60));
    ASSERT_TRUE(waitUntil("sa.hovered.count() == 1", [&] { return sa.hovered.count() == 1; }));
    EXPECT_TRUE(sa.hovered.at(0).at(1).toBool());

    QTest::mouseMove(window.get(), QPoint(160, 60)); // within A: nothing new
    QTest::qWait(150);
    EXPECT_EQ(sa.hovered.count(), 1);

    QTest::mouseMove(window.get(), QPoint(150, 140)); // straight onto B
    ASSERT_TRUE(waitUntil("sb.hovered.count() == 1", [&] { return sb.hovered.count() == 1; }));
    ASSERT_EQ(sa.hovered.count(), 2);
    EXPECT_FALSE(sa.hovered.at(1).at(1).toBool());
    EXPECT_TRUE(sb.hovered.at(0).at(1).toBool());

    QTest::mouseMove(window.get(), QPoint(150, 190));
    ASSERT_TRUE(waitUntil("sb.hovered.count() == 2", [&] { return sb.hovered.count() == 2; }));
    EXPECT_FALSE(sb.hovered.at(1).at(1).toBool());
    EXPECT_EQ(sa.total(), 2);
}

TEST_F(ChartOnOpenGL, HiddenTracesTakeNoIdentifier)
{
    Trace *hidden = addRow(red, 60, 0);
    Trace *b = addRow(blue, 100, 1);
    Trace *c = addRow(green, 140, 2);
    hidden->setVisible(false);
    Spies sh(hidden), sb(b), sc(c);
    ASSERT_TRUE(waitForPixel({150, 60}, white));
    ASSERT_TRUE(waitForPixel({150, 140}, green));

    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 140));
    ASSERT_TRUE(waitUntil("sc.clicked.count() == 1", [&] { return sc.clicked.count() == 1; }));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 100));
    ASSERT_TRUE(waitUntil("sb.clicked.count() == 1", [&] { return sb.clicked.count() == 1; }));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 60));
    QTest::qWait(300);
    EXPECT_EQ(sh.total(), 0);
    EXPECT_EQ(sb.clicked.count(), 1);
    EXPECT_EQ(sc.clicked.count(), 1);
}

TEST_F(ChartOnOpenGL, HigherZDrawsOnTopAndTakesThePick)
{
    Trace *r = addRow(red, 100, 0);
    Trace *b = addRow(blue, 100, 1);
    Spies sr(r), sb(b);
    ASSERT_TRUE(waitForPixel({150, 100}, blue));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 100));
    ASSERT_TRUE(waitUntil("sb.clicked.count() == 1", [&] { return sb.clicked.count() == 1; }));

    r->setZ(2); // re-sorts at once
    ASSERT_TRUE(waitForPixel({150, 100}, red));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 100));
    ASSERT_TRUE(waitUntil("sr.clicked.count() == 1", [&] { return sr.clicked.count() == 1; }));
    EXPECT_EQ(sb.clicked.count(), 1);

    b->setZ(2); // equal z: still one on top, one pick answer
    QTest::qWait(100);
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 100));
    ASSERT_TRUE(waitUntil("sr.clicked.count() + sb.clicked.count() == 3",
                          [&] { return sr.clicked.count() + sb.clicked.count() == 3; }));
}

TEST_F(ChartOnOpenGL, ClicksAtTheTopAndBottomEdgesGiveTheRangeEnds)
{
    Trace *top = addTrace(red, {QPointF(0, 10), QPointF(10, 10)});
    Trace *bottom = addTrace(blue, {QPointF(0, 0), QPointF(10, 0)});
    Spies st(top), sb(bottom);
    ASSERT_TRUE(waitForPixel({150, 1}, red));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 0));
    ASSERT_TRUE(waitUntil("st.clicked.count() == 1", [&] { return st.clicked.count() == 1; }));
    EXPECT_DOUBLE_EQ(st.clicked.at(0).at(0).toPointF().y(), 10.0);

    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, H - 1));
    ASSERT_TRUE(waitUntil("sb.clicked.count() == 1", [&] { return sb.clicked.count() == 1; }));
    EXPECT_NEAR(sb.clicked.at(0).at(0).toPointF().y(), 10.0 / H, 1e-12); // one row above the bottom edge
}

TEST_F(ChartOnOpenGL, ResizingRebuildsDrawingAndPicking)
{
    Trace *t = addRow(red, 100);
    Spies spies(t);
    ASSERT_TRUE(waitForPixel({150, 100}, red));
    window->resize(400, 300);
    chart->setSize(QSizeF(400, 300));
    // y = yAtRow(100) of the old 200 rows lies at row 150.75 of 300.
    ASSERT_TRUE(waitForPixel({350, 151}, red));
    EXPECT_EQ(t->domain()->size(), QSizeF(400, 300));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(350, 151));
    ASSERT_TRUE(waitUntil("spies.clicked.count() == 1", [&] { return spies.clicked.count() == 1; }));
    EXPECT_DOUBLE_EQ(spies.clicked.at(0).at(0).toPointF().x(), 8.75);
}

TEST_F(ChartOnOpenGL, RemovingOrDeletingTheLastTraceClearsTheDisplay)
{
    Trace *a = addRow(red, 100);
    ASSERT_TRUE(waitForPixel({150, 100}, red));
    chart->removeTrace(a);
    EXPECT_TRUE(waitForPixel({150, 100}, white));

    Trace *b = addRow(blue, 60);
    ASSERT_TRUE(waitForPixel({150, 60}, blue));
    traces.clear(); // deleted without being removed
    EXPECT_TRUE(waitForPixel({150, 60}, white));
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(150, 60));
    QTest::qWait(150);
    (void)b;
}

TEST_F(ChartOnOpenGL, AntialiasingBlendsTheEdgesOfSlantedLines)
{
    auto countBlended = [this] {
        const QImage frame = window->grabWindow();
        int blended = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const QColor c(frame.pixel(x, y));
                if (c != red && c != white)
                    ++blended;
            }
        return blended;
    };
    Trace *t = addTrace(red, {QPointF(0, 1), QPointF(10, 9)});
    t->setLineWidth(1.5f);
    ASSERT_TRUE(waitUntil("pixel({150, 100}) == red", [&] { return pixel({150, 100}) == red; }));
    EXPECT_EQ(countBlended(), 0);

    chart->setAntialiasing(true);
    EXPECT_TRUE(waitUntil("countBlended() > 50", [&] { return countBlended() > 50; }));
}

TEST_F(ChartOnOpenGL, NearHorizontalTracesDrawContinuousLines)
{
    // Row of each trace from the top at column x: flat, and 10 rows over the width.
    auto flatRow = [](int) { return 100.0; };
    auto slopedRow = [](int x) { return 150.0 - 10.0 * (x + 0.5) / W; };
    Trace *flat = addRow(red, 100);
    Trace *sloped = addTrace(blue, {QPointF(0, yAtRow(150)), QPointF(10, yAtRow(140))});
    for (Trace *t : {flat, sloped})
        t->setLineWidth(1.5f); // the default width, the thinnest in use
    struct Case
    {
        bool antialiasing;
        const char *name;
    };
    for (const Case &c : {Case{false, "aliased"}, Case{true, "anti-aliased"}}) {
        SCOPED_TRACE(c.name);
        if (c.antialiasing && !rendererDroppingShortMultisampledLines().isEmpty())
            GTEST_SKIP() << "the OpenGL renderer \"" << rendererDroppingShortMultisampledLines().constData()
                         << "\" drops line segments shorter than a pixel in multisampled frame buffers";
        chart->setAntialiasing(c.antialiasing);
        // Both lines are drawn; the first frames after the switch may still be the old drawing.
        ASSERT_TRUE(waitUntil("both lines drawn without gaps",
                              [&] {
                                  const QImage frame = window->grabWindow();
                                  return columnsWithoutLine(frame, 2, W - 3, flatRow, white) == 0
                                         && columnsWithoutLine(frame, 2, W - 3, slopedRow, white) == 0;
                              }))
            << "flat line gaps " << columnsWithoutLine(window->grabWindow(), 2, W - 3, flatRow, white)
            << ", sloped line gaps " << columnsWithoutLine(window->grabWindow(), 2, W - 3, slopedRow, white);
    }
}

// The same drawing and picking with the core-profile shader variant.
class ChartOnCoreProfile : public ChartOnOpenGL
{
protected:
    void adjustFormat(QSurfaceFormat &format) const override
    {
        format.setVersion(3, 3);
        format.setProfile(QSurfaceFormat::CoreProfile);
    }
};

TEST_F(ChartOnCoreProfile, DrawsAndPicks)
{
    ASSERT_TRUE(waitUntil("window->openglContext() != nullptr", [this] { return window->openglContext() != nullptr; }));
    ASSERT_EQ(window->openglContext()->format().profile(), QSurfaceFormat::CoreProfile);
    Trace *t = addRow(red, 100);
    addRow(blue, 40);
    Spies spies(t);
    ASSERT_TRUE(waitForPixel({150, 100}, red));
    EXPECT_EQ(pixel({150, 40}), blue);
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(30, 100));
    ASSERT_TRUE(waitUntil("spies.clicked.count() == 1", [&] { return spies.clicked.count() == 1; }));
    EXPECT_DOUBLE_EQ(spies.clicked.at(0).at(0).toPointF().x(), 1.0);
}

} // namespace
