// Qt Quick Test entry point for the style, the shared controls and the
// progress view, set up as the program's start-up sets up its engine.
#include "coreqmlsetup.h"
#include "progressharness.h"
#include "tablefixture.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

class CoreQmlSetup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable() { CoreQmlTest::setUpStyleAndTypes(); }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        CoreQmlTest::selectStyledVariants(engine);
        engine->rootContext()->setContextProperty(QStringLiteral("progressHarness"),
                                                  new ProgressHarness(300, engine));
        engine->rootContext()->setContextProperty(QStringLiteral("tableFixture"),
                                                  new TableFixture(engine));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(core_qml, CoreQmlSetup)

#include "qmltest_main.moc"
