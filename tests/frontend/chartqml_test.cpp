// The chart QML module in a real QQmlEngine: the registered types and enum
// carriers, the chart components from the resources, and the plotter in a
// window on OpenGL: traces drawn in their palette colours, axis labels
// following the scale manager, and a click on a curve making it active.
#include "chartqmlprogramsetup.h"
#include "chartwindowsupport.h"
#include "frontend/chartitem.h"
#include "frontend/chartqml.h"
#include "frontend/chartscalemanager.h"
#include "frontend/gridpolar.h"
#include "frontend/gridsmith.h"
#include "frontend/gridxy.h"
#include "frontend/trace.h"
#include "frontend/tracedomain.h"

#include <QImage>
#include <QMetaType>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using ChartWindowSupport::waitUntil;
using namespace Korvel::Frontend;

namespace {

QString errorsOf(const QQmlComponent &component)
{
    QString text;
    for (const QQmlError &e : component.errors())
        text += e.toString() + QLatin1Char('\n');
    return text;
}

std::unique_ptr<QObject> create(QQmlEngine &engine, const QByteArray &qml, QString *errors = nullptr)
{
    QQmlComponent component(&engine);
    component.setData(qml, QUrl(QStringLiteral("qrc:/core/qml/test/Inline.qml")));
    std::unique_ptr<QObject> object(component.create());
    if (errors)
        *errors = errorsOf(component);
    return object;
}

class ChartQmlModule : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { registerChartProgramQml(); }
    QQmlEngine engine;
};

TEST_F(ChartQmlModule, CreatableTypesAreTheChartLibraryClasses)
{
    QString errors;
    auto root = create(engine, R"(
        import QtQuick 2.15
        import com.korvel.chart 1.0 as K
        Item {
            property var chart: K.Chart {}
            property var grid: K.Grid { xLayout: K.GridLayoutMode.LogGrid }
            property var polar: K.PolarGrid { scale: 2 }
            property var smith: K.SmithGrid { flip: true }
            property var trace: K.Trace { name: "t" }
            property int xyFormat: K.TraceFormat.XYFormat
            property int smithFormat: K.TraceFormat.SmithFormat
            property int polarFormat: K.TraceFormat.PolarFormat
            property int niceLayout: K.GridLayoutMode.NiceLabelsLinGrid
            property var labels: K.NiceLabels.looseLabels(0, 10)
            property point minMax: K.NiceLabels.looseLabelsMinMax(Qt.point(-0.3, 1.7))
            property var traceDomain: trace.domain
            property real mapped: trace.domain.domainToGeometryX(0)
        })",
                       &errors);
    ASSERT_TRUE(root) << errors.toStdString();

    EXPECT_TRUE(qobject_cast<Chart *>(root->property("chart").value<QObject *>()));
    auto *grid = qobject_cast<XYGrid *>(root->property("grid").value<QObject *>());
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->xLayout(), XYGrid::GridLayoutMode::LogGrid);
    auto *polar = qobject_cast<PolarGrid_ *>(root->property("polar").value<QObject *>());
    ASSERT_TRUE(polar);
    EXPECT_DOUBLE_EQ(polar->scale(), 2.0);
    auto *smith = qobject_cast<SmithGrid *>(root->property("smith").value<QObject *>());
    ASSERT_TRUE(smith);
    EXPECT_TRUE(smith->flip());
    auto *trace = qobject_cast<Trace *>(root->property("trace").value<QObject *>());
    ASSERT_TRUE(trace);
    EXPECT_EQ(trace->name(), QStringLiteral("t"));
    EXPECT_EQ(root->property("traceDomain").value<QObject *>(), trace->domain());

    EXPECT_EQ(root->property("xyFormat").toInt(), int(TraceDomain::TraceFormat::XYFormat));
    EXPECT_EQ(root->property("smithFormat").toInt(), int(TraceDomain::TraceFormat::SmithFormat));
    EXPECT_EQ(root->property("polarFormat").toInt(), int(TraceDomain::TraceFormat::PolarFormat));
    EXPECT_EQ(root->property("niceLayout").toInt(), int(XYGrid::GridLayoutMode::NiceLabelsLinGrid));

    const QVariantList labels = root->property("labels").toList();
    ASSERT_EQ(labels.size(), 11);
    EXPECT_DOUBLE_EQ(labels.first().toDouble(), 10.0);
    EXPECT_DOUBLE_EQ(labels.last().toDouble(), 0.0);
    const QPointF minMax = root->property("minMax").toPointF();
    EXPECT_NEAR(minMax.x(), -0.4, 1e-12);
    EXPECT_NEAR(minMax.y(), 1.8, 1e-12);
}

TEST_F(ChartQmlModule, EnumCarriersCannotBeInstantiated)
{
    struct Case
    {
        const char *type;
        const char *reason;
    };
    const Case cases[] = {
        {"GridLayoutMode", "GridLayoutMode need only for enum. Cannot be instantiated."},
        {"TraceFormat", "TraceFormat need only for enum. Cannot be instantiated."},
    };
    for (const Case &c : cases) {
        QString errors;
        const QByteArray qml =
            QByteArray("import QtQuick 2.15\nimport com.korvel.chart 1.0\nItem { property var x: ") + c.type + " {} }";
        auto object = create(engine, qml, &errors);
        EXPECT_FALSE(object) << c.type;
        EXPECT_TRUE(errors.contains(QLatin1String(c.reason))) << errors.toStdString();
    }
}

TEST_F(ChartQmlModule, ShortDomainPointerNameIsTheNamespacedType)
{
    const int shortId = QMetaType::type("TraceDomain*");
    EXPECT_NE(shortId, int(QMetaType::UnknownType));
    EXPECT_EQ(shortId, qMetaTypeId<TraceDomain *>());
    // Registering again keeps the one type.
    registerChartQmlTypes();
    EXPECT_EQ(QMetaType::type("TraceDomain*"), qMetaTypeId<TraceDomain *>());
}

TEST_F(ChartQmlModule, SingletonIsOneInstancePerEngine)
{
    auto root = create(engine, R"(
        import QtQuick 2.15
        import com.korvel.chart 1.0
        QtObject { property var a: NiceLabels; property var b: NiceLabels })");
    ASSERT_TRUE(root);
    QObject *a = root->property("a").value<QObject *>();
    ASSERT_TRUE(a);
    EXPECT_EQ(a, root->property("b").value<QObject *>());
    EXPECT_EQ(a->parent(), nullptr);
}

TEST_F(ChartQmlModule, ChartComponentsLoadFromTheResources)
{
    const char *urls[] = {
        "qrc:/core/qml/chart/Plotter.qml",
        "qrc:/core/qml/chart/XAxis.qml",
        "qrc:/core/qml/chart/YAxis.qml",
        "qrc:/core/qml/chart/MarkerView.qml",
        "qrc:/core/qml/chart/UnitValueAxis.qml",
        "qrc:/core/qml/controls/VukChartTab.qml",
        "qrc:/core/qml/controls/MeasureGraphInstantiator.qml",
    };
    for (const char *url : urls) {
        QQmlComponent component(&engine, QUrl(QString::fromLatin1(url)));
        std::unique_ptr<QObject> object(component.create());
        EXPECT_TRUE(object) << url << "\n" << errorsOf(component).toStdString();
    }
}

// The plotter alone in a window on OpenGL, with its scale manager.
class PlotterWindow : public ::testing::Test
{
protected:
    static constexpr int W = 480;
    static constexpr int H = 360;

    static void SetUpTestSuite() { registerChartProgramQml(); }

    void SetUp() override
    {
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQuick 2.15
            import QtQuick.Window 2.15
            import ChartScaleManager 1.0
            import "qrc:/core/qml/chart"
            Window {
                width: 480; height: 360
                color: "white"
                flags: Qt.FramelessWindowHint
                property alias plotter: plotter
                property alias scaler: scaler
                ChartScaleManager { id: scaler }
                Plotter { id: plotter; anchors.fill: parent; scaleManager: scaler }
            })",
                          QUrl(QStringLiteral("qrc:/core/qml/test/PlotterWindow.qml")));
        window.reset(qobject_cast<QQuickWindow *>(component.create()));
        ASSERT_TRUE(window) << errorsOf(component).toStdString();
        plotter = window->property("plotter").value<QQuickItem *>();
        scaler = qobject_cast<ChartScaleManager *>(window->property("scaler").value<QObject *>());
        ASSERT_TRUE(plotter && scaler);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(waitUntil("window->rendererInterface() != nullptr",
                              [this] { return window->rendererInterface() != nullptr; }));
        ASSERT_EQ(window->rendererInterface()->graphicsApi(), QSGRendererInterface::OpenGL);
    }

    void TearDown() override
    {
        window.reset();
        traces.clear();
    }

    // A trace with its series in the scale manager, added to the plotter.
    Trace *addTrace(const QString &name, const QVector<QPointF> &points)
    {
        traces.push_back(std::make_unique<Trace>());
        Trace *t = traces.back().get();
        t->setName(name);
        t->setLineWidth(3.0f);
        t->replace(points);
        scaler->addData(name, points);
        QMetaObject::invokeMethod(plotter, "addTrace", Q_ARG(QVariant, QVariant::fromValue<QObject *>(t)));
        return t;
    }

    QQuickItem *child(const char *name) const { return plotter->findChild<QQuickItem *>(QLatin1String(name)); }

    // Window pixel of a domain point of the plot, through the plot area's
    // geometry and the plotter's current ranges.
    QPoint pixelOf(QPointF value) const
    {
        QQuickItem *area = child("plotArea");
        const QPointF origin = area->mapToScene(QPointF(0, 0));
        const QPointF x = plotter->property("xRange").toPointF();
        const QPointF y = plotter->property("yRange").toPointF();
        const double px = (value.x() - x.x()) / (x.y() - x.x()) * area->width();
        const double py = area->height() - (value.y() - y.x()) / (y.y() - y.x()) * area->height();
        return QPoint(int(std::lround(origin.x() + px)), int(std::lround(origin.y() + py)));
    }

    static bool near(const QColor &a, const QColor &b, int tolerance)
    {
        return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
               && std::abs(a.blue() - b.blue()) <= tolerance;
    }

    // Whether a pixel within two of p has the colour.
    bool colourAround(const QImage &image, QPoint p, const QColor &colour) const
    {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) {
                const QPoint q = p + QPoint(dx, dy);
                if (image.rect().contains(q) && near(image.pixelColor(q), colour, 40))
                    return true;
            }
        return false;
    }

    // Waits until the pixel of a domain point (re-mapped at every look, as
    // the layout settles) shows the colour, or no longer shows it.
    bool waitForColour(QPointF value, const QColor &colour, bool present = true)
    {
        return waitUntil("colourAround(window->grabWindow(), pixelOf(value), colour) == present",
                         [&] { return colourAround(window->grabWindow(), pixelOf(value), colour) == present; });
    }

    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> window;
    QQuickItem *plotter = nullptr;
    ChartScaleManager *scaler = nullptr;
    std::vector<std::unique_ptr<Trace>> traces;
};

const QColor firstLight("#302BFF");
const QColor secondLight("#ED000A");

// The curves are slanted: with multisampling on llvmpipe, near-horizontal
// strips of 4096 points leave only scattered pixels.
TEST_F(PlotterWindow, TracesAreDrawnInTheirPaletteColoursWhereTheirValuesLie)
{
    // A rising and a falling line over x in 0 .. 10, y in 0 .. 10.
    Trace *rising = addTrace(QStringLiteral("rising"), {QPointF(0, 0), QPointF(10, 10)});
    Trace *falling = addTrace(QStringLiteral("falling"), {QPointF(0, 10), QPointF(10, 0)});
    EXPECT_EQ(rising->color(), firstLight);
    EXPECT_EQ(falling->color(), secondLight);
    // y 0 .. 10 widened by 2 each way and labelled: -2 .. 12.
    EXPECT_EQ(plotter->property("yRange").toPointF(), QPointF(-2, 12));
    EXPECT_EQ(plotter->property("xRange").toPointF(), QPointF(0, 10));

    EXPECT_TRUE(waitForColour(QPointF{2, 2}, firstLight));
    EXPECT_TRUE(waitForColour(QPointF{8, 8}, firstLight));
    EXPECT_TRUE(waitForColour(QPointF{2, 8}, secondLight));
    EXPECT_TRUE(waitForColour(QPointF{8, 2}, secondLight));
    const QImage frame = window->grabWindow();
    for (const QPointF p : {QPointF(5, 1), QPointF(5, 9), QPointF(1, 5)}) {
        EXPECT_FALSE(colourAround(frame, pixelOf(p), firstLight)) << p.x() << " " << p.y();
        EXPECT_FALSE(colourAround(frame, pixelOf(p), secondLight)) << p.x() << " " << p.y();
    }

    // Hiding a trace takes it off the screen.
    falling->setVisible(false);
    EXPECT_TRUE(waitForColour(QPointF{8, 2}, secondLight, false));
    EXPECT_TRUE(colourAround(window->grabWindow(), pixelOf({2, 2}), firstLight));
}

TEST_F(PlotterWindow, NewDataMovesThePlotRanges)
{
    addTrace(QStringLiteral("a"), {QPointF(0, 0), QPointF(10, 10)});
    // New data for the same series: the plot follows the scale manager.
    const QVector<QPointF> wider{QPointF(0, 0), QPointF(100, 50)};
    traces.front()->replace(wider);
    scaler->addData(QStringLiteral("a"), wider);
    EXPECT_EQ(plotter->property("xRange").toPointF(), QPointF(0, 100));
    // 0 .. 50 widened by 10: -10 .. 60, already nice.
    EXPECT_EQ(plotter->property("yRange").toPointF(), QPointF(-10, 60));
    EXPECT_EQ(traces.front()->domain()->xRange(), QPointF(0, 100));
    EXPECT_EQ(traces.front()->domain()->yRange(), QPointF(-10, 60));
    EXPECT_TRUE(waitForColour(QPointF{50, 25}, firstLight));
}

// Every item under root, in the visual tree.
void collectItems(QQuickItem *root, QList<QQuickItem *> &items)
{
    for (QQuickItem *child : root->childItems()) {
        items.append(child);
        collectItems(child, items);
    }
}

// The shown tick labels of an axis (texts without an object name).
QList<QQuickItem *> labelItems(QQuickItem *axis)
{
    QList<QQuickItem *> items;
    collectItems(axis, items);
    QList<QQuickItem *> labels;
    for (QQuickItem *item : items)
        if (item->isVisible() && item->property("text").isValid() && item->objectName().isEmpty())
            labels.append(item);
    return labels;
}

// Texts of the shown labels of an axis, from left to right or top to bottom.
QStringList shownLabels(QQuickItem *axis)
{
    QStringList texts;
    QList<QQuickItem *> labels = labelItems(axis);
    std::sort(labels.begin(), labels.end(), [](QQuickItem *a, QQuickItem *b) {
        return a->mapToScene(QPointF()).x() + a->mapToScene(QPointF()).y()
               < b->mapToScene(QPointF()).x() + b->mapToScene(QPointF()).y();
    });
    for (QQuickItem *label : labels)
        texts.append(label->property("text").toString());
    return texts;
}

TEST_F(PlotterWindow, AxisLabelsFollowTheScaleManager)
{
    addTrace(QStringLiteral("a"), {QPointF(0, -5), QPointF(1e9, 10)});
    QQuickItem *xAxis = plotter->property("xAxis").value<QQuickItem *>();
    QQuickItem *yAxis = plotter->property("yAxis").value<QQuickItem *>();
    ASSERT_TRUE(xAxis && yAxis);

    // y -5 .. 10 widened by 3: -8 .. 13, labelled every 5 from 15 down to -10.
    ASSERT_TRUE(waitUntil("shownLabels(yAxis).size() == 6", [&] { return shownLabels(yAxis).size() == 6; }));
    EXPECT_EQ(shownLabels(yAxis), (QStringList{"15 ", "10 ", "5 ", "0", "-5 ", "-10 "}));
    // The x labels are the grid's lines 0, 0.1 G .. 0.9 G, all with the
    // prefix of the largest; the middle one (0.5 G) is placed first. 0,
    // centred on the left edge, does not fit.
    ASSERT_TRUE(waitUntil("shownLabels(xAxis).contains(QStringLiteral(\"0.5G\"))",
                          [&] { return shownLabels(xAxis).contains(QStringLiteral("0.5G")); }));
    const QStringList xLabels = shownLabels(xAxis);
    EXPECT_FALSE(xLabels.contains(QStringLiteral("0")));
    EXPECT_TRUE(xLabels.contains(QStringLiteral("0.1G")));
    EXPECT_TRUE(xLabels.contains(QStringLiteral("0.9G")));
    for (const QString &t : xLabels)
        EXPECT_TRUE(t.endsWith(QLatin1Char('G'))) << t.toStdString();

    // Each y label sits on its grid row: 15 at the top edge, -10 at the bottom.
    QQuickItem *area = child("plotArea");
    for (QQuickItem *item : labelItems(yAxis)) {
        const double value = item->property("text").toString().trimmed().toDouble();
        const double centre = item->mapToItem(area, QPointF(0, item->height() / 2)).y();
        EXPECT_NEAR(centre, (15 - value) / 25 * area->height(), 1.0) << value;
    }

    // New data: the labels follow.
    const QVector<QPointF> small{QPointF(0, 0), QPointF(2e-9, 1)};
    traces.front()->replace(small);
    scaler->addData(QStringLiteral("a"), small);
    ASSERT_TRUE(waitUntil("shownLabels(xAxis).contains(QStringLiteral(\"1n\"))",
                          [&] { return shownLabels(xAxis).contains(QStringLiteral("1n")); }));
    EXPECT_FALSE(shownLabels(xAxis).contains(QStringLiteral("0.5G")));
    // 0 .. 1 widened by 0.2: labels 1.2 down to -0.2, in the prefix of 1.2.
    EXPECT_EQ(shownLabels(yAxis).first(), QStringLiteral("1.2 "));
    EXPECT_EQ(shownLabels(yAxis).last(), QStringLiteral("-0.2 "));
}

TEST_F(PlotterWindow, ClickOnACurveMakesItsTraceActive)
{
    // Two steep parallel lines, left and right.
    Trace *left = addTrace(QStringLiteral("left"), {QPointF(0, 0), QPointF(5, 10)});
    Trace *right = addTrace(QStringLiteral("right"), {QPointF(5, 0), QPointF(10, 10)});
    EXPECT_EQ(plotter->property("activeTrace").value<QObject *>(), left);
    EXPECT_DOUBLE_EQ(left->z(), 1.0);
    EXPECT_DOUBLE_EQ(right->z(), 0.0);
    ASSERT_TRUE(waitForColour(QPointF{7.5, 5}, secondLight));

    QTest::mouseClick(window.get(), Qt::LeftButton, {}, pixelOf({7.5, 5}));
    ASSERT_TRUE(waitUntil("plotter->property(\"activeTrace\").value<QObject *>() == right",
                          [&] { return plotter->property("activeTrace").value<QObject *>() == right; }));
    EXPECT_DOUBLE_EQ(right->z(), 1.0);
    EXPECT_DOUBLE_EQ(left->z(), 0.0);

    // A click beside both curves changes nothing.
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, pixelOf({5, 5}));
    QTest::qWait(200);
    EXPECT_EQ(plotter->property("activeTrace").value<QObject *>(), right);
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, pixelOf({2.5, 5}));
    EXPECT_TRUE(waitUntil("plotter->property(\"activeTrace\").value<QObject *>() == left",
                          [&] { return plotter->property("activeTrace").value<QObject *>() == left; }));
}

} // namespace
