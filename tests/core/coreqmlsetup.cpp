#include "coreqmlsetup.h"

#include "app/unitformatter.h"
#include "measurement/measureenums.h"

#include <QCoreApplication>
#include <QDir>
#include <QQmlEngine>
#include <QQmlFileSelector>
#include <QQuickStyle>
#include <QSettings>
#include <QUrl>
#include <QtQml>

static void initCoreResources()
{
    Q_INIT_RESOURCE(core);
}

namespace CoreQmlTest {

void setUpStyleAndTypes()
{
    // The file dialogs keep their settings; tests keep theirs apart.
    QCoreApplication::setOrganizationName(QStringLiteral("vuk-core-qml-tests"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QDir::tempPath() + QStringLiteral("/vuk-core-qml-tests"));
    initCoreResources();
    QQuickStyle::addStylePath(QStringLiteral("qrc:/core/qml"));
    QQuickStyle::setStyle(QStringLiteral("vukstyle"));
    QQuickStyle::setFallbackStyle(QStringLiteral("Material"));
    qmlRegisterSingletonType(QUrl(QStringLiteral("qrc:/core/qml/controls/Color.qml")), "Color", 1, 0,
                             "Color");
    qmlRegisterSingletonType(QUrl(QStringLiteral("qrc:/core/qml/controls/Units.qml")), "Units", 1, 0,
                             "Units");
    qmlRegisterSingletonType(QUrl(QStringLiteral("qrc:/core/qml/icon_shortcuts/IconShortcuts.qml")),
                             "IconShortcuts", 1, 0, "Icons");
    UnitFormatter::registerQmlType();
    MeasureEnums::registerTypes();
}

void selectStyledVariants(QQmlEngine *engine)
{
    // No extra selectors: the controls library adds the style's name itself,
    // as it does for the program.
    new QQmlFileSelector(engine, engine);
}

} // namespace CoreQmlTest
