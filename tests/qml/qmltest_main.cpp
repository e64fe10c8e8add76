// Qt Quick Test entry point for the program's pages. The set-up mirrors the
// program's start-up: the vukstyle style over Material, the program's QML
// types, singletons and resources, a file selector for the styled control
// variants, and the context properties "backend" and "settings" of a real
// backend, here driven against a simulated analyser (see pageharness.h).
#include "app/mainqmlbackend.h"
#include "app/settings.h"
#include "app/startup.h"
#include "pageharness.h"
#include "tests/support/renderloop.h"
#include "tsan-events/tsanevents.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlFileSelector>
#include <QQuickStyle>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtQuickTest>

#include <memory>

class PagesQmlSetup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        // The settings file ("settings/settings") and the program's other
        // relative files land in a folder of their own.
        m_workDir = std::make_unique<QTemporaryDir>();
        if (!m_workDir->isValid() || !QDir::setCurrent(m_workDir->path()))
            qFatal("No working folder for the page tests");
        QCoreApplication::setOrganizationName(Startup::organizationName());
        QQuickStyle::addStylePath(QStringLiteral("qrc:/core/qml"));
        QQuickStyle::setStyle(QStringLiteral("vukstyle"));
        QQuickStyle::setFallbackStyle(QStringLiteral("Material"));
        Startup::registerQmlTypes();
        // QML_PAGES_LANGUAGE=ru: the pages in Russian, as the program's -r
        // shows them.
        if (qEnvironmentVariable("QML_PAGES_LANGUAGE") == QLatin1String("ru")) {
            m_translator = std::make_unique<QTranslator>();
            if (!m_translator->load(Startup::russianCatalogPath()))
                qFatal("The Russian catalogue %s did not load", qPrintable(Startup::russianCatalogPath()));
            QCoreApplication::installTranslator(m_translator.get());
        }
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        new QQmlFileSelector(engine, engine);
        auto *harness = new PageHarness(engine);
        engine->rootContext()->setContextProperty(QStringLiteral("harness"), harness);
        engine->rootContext()->setContextProperty(QStringLiteral("backend"), harness->backend());
        engine->rootContext()->setContextProperty(QStringLiteral("settings"), harness->settings());
    }

    void cleanupTestCase()
    {
        QDir::setCurrent(QDir::tempPath());
        m_workDir.reset();
    }

private:
    std::unique_ptr<QTemporaryDir> m_workDir;
    std::unique_ptr<QTranslator> m_translator;
};

// The pages' charts draw through widgets' text items, as in the program:
// a QApplication, made before the test runner would make a plain one.
int main(int argc, char **argv)
{
    QTEST_SET_MAIN_SOURCE_PATH
    TestSupport::renderOnTheGuiThread();
    PublishingApplication<QApplication> app(argc, argv);
    PagesQmlSetup setup;
    return quick_test_main_with_setup(argc, argv, "qml_pages", nullptr, &setup);
}

#include "qmltest_main.moc"
