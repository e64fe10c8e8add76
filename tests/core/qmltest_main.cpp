// Qt Quick Test entry point for the style, the shared controls and the
// progress view, set up as the program's start-up sets up its engine. A
// warning from the shared QML (a binding loop, a failed assignment) fails
// the run even when every test function passed.
#include "coreqmlsetup.h"
#include "progressharness.h"
#include "tablefixture.h"
#include "tests/support/renderloop.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlError>
#include <QtQuickTest>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<int> coreQmlWarnings{0};

void countCoreQmlWarnings(const QList<QQmlError> &warnings)
{
    for (const QQmlError &warning : warnings)
        if (warning.url().toString().startsWith(QLatin1String("qrc:/core/")))
            ++coreQmlWarnings;
}

} // namespace

class CoreQmlSetup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable() { CoreQmlTest::setUpStyleAndTypes(); }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        QObject::connect(engine, &QQmlEngine::warnings, engine, &countCoreQmlWarnings);
        CoreQmlTest::selectStyledVariants(engine);
        engine->rootContext()->setContextProperty(QStringLiteral("progressHarness"), new ProgressHarness(800, engine));
        engine->rootContext()->setContextProperty(QStringLiteral("tableFixture"), new TableFixture(engine));
    }
};

int main(int argc, char **argv)
{
    TestSupport::renderOnTheGuiThread();
    CoreQmlSetup setup;
    const int result = quick_test_main_with_setup(argc, argv, "core_qml", nullptr, &setup);
    if (result == 0 && coreQmlWarnings > 0) {
        std::fprintf(stderr, "FAIL: %d warning(s) from the shared QML\n", int(coreQmlWarnings));
        return 1;
    }
    return result;
}

#include "qmltest_main.moc"
