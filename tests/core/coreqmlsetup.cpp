#include "coreqmlsetup.h"

#include "app/coreqmltypes.h"
#include "measurement/measureenums.h"

#include <QCoreApplication>
#include <QDir>
#include <QQmlEngine>
#include <QQmlFileSelector>
#include <QQuickStyle>
#include <QSettings>
#include <QUrl>
#include <QtQml>

namespace CoreQmlTest {

void setUpStyleAndTypes()
{
    // The file dialogs keep their settings; tests keep theirs apart.
    QCoreApplication::setOrganizationName(QStringLiteral("vuk-core-qml-tests"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QDir::tempPath() + QStringLiteral("/vuk-core-qml-tests"));
    QQuickStyle::addStylePath(QStringLiteral("qrc:/core/qml"));
    QQuickStyle::setStyle(QStringLiteral("vukstyle"));
    QQuickStyle::setFallbackStyle(QStringLiteral("Material"));
    // The program's own registration: the core resources and singletons.
    registerCoreQmlTypes();
    MeasureEnums::registerTypes();
}

void selectStyledVariants(QQmlEngine *engine)
{
    // No extra selectors: the controls library adds the style's name itself,
    // as it does for the program.
    new QQmlFileSelector(engine, engine);
}

} // namespace CoreQmlTest
