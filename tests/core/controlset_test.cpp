// The shared QML as a whole: every file of core/qml and core/icons is in the
// resource bundle, the icon addresses resolve to pictures, every control
// loads without errors or warnings, and the plain and styled variants of a
// control offer the same interface.
#include "coreqmlsetup.h"
#include "tests/support/logcapture.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QMetaMethod>
#include <QMetaObject>
#include <QMetaProperty>
#include <QQmlAbstractUrlInterceptor>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QSet>
#include <QUrl>
#include <QVariantMap>

#include <memory>

namespace {

const QString sourceDir = QStringLiteral(VUK_CORE_SOURCE_DIR);

class ControlSet : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static bool done = false;
        if (!done) {
            CoreQmlTest::setUpStyleAndTypes();
            // The controls library adds the style's selector when it is first
            // imported, as the program's main page does before it names any
            // shared control.
            QQmlEngine engine;
            QQmlComponent component(&engine);
            component.setData("import QtQuick 2.15\nimport QtQuick.Controls 2.15\nItem {}", QUrl());
            std::unique_ptr<QObject> item(component.create());
            done = true;
        }
    }
};

struct Interface
{
    QSet<QString> properties;
    QSet<QString> signalNames;
    QSet<QString> methods;
};

// What a QML file declares itself: the properties, signals and functions of
// the most derived meta-object. Change signals of declared properties and
// functions named with a leading underscore (internal helpers) are left out.
Interface ownInterface(const QObject *object)
{
    Interface result;
    const QMetaObject *meta = object->metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        result.properties.insert(QString::fromLatin1(meta->property(i).name()));
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        const QString name = QString::fromLatin1(method.name());
        if (method.methodType() == QMetaMethod::Signal) {
            if (name.endsWith(QLatin1String("Changed"))
                && result.properties.contains(name.chopped(int(qstrlen("Changed")))))
                continue;
            result.signalNames.insert(name);
        } else if (!name.startsWith(QLatin1Char('_'))) {
            result.methods.insert(name);
        }
    }
    return result;
}

struct Created
{
    std::unique_ptr<QObject> object;
    QStringList errors;
    QStringList log;
};

Created create(QQmlEngine &engine, const QString &url, const QVariantMap &initial = {})
{
    Created result;
    LogCapture capture;
    QQmlComponent component(&engine, QUrl(url));
    if (component.isError()) {
        for (const QQmlError &e : component.errors())
            result.errors << e.toString();
        return result;
    }
    result.object.reset(component.createWithInitialProperties(initial));
    for (const QQmlError &e : component.errors())
        result.errors << e.toString();
    QCoreApplication::processEvents();
    result.log = capture.lines();
    return result;
}

QString joined(const QSet<QString> &set)
{
    QStringList list = set.values();
    list.sort();
    return list.join(QLatin1String(", "));
}

} // namespace

TEST_F(ControlSet, EveryFileIsInTheResourceBundle)
{
    int checked = 0;
    for (const QString &top : {QStringLiteral("qml"), QStringLiteral("icons")}) {
        QDirIterator it(sourceDir + QLatin1Char('/') + top, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString relative = QDir(sourceDir).relativeFilePath(path);
            // The chart QML brings its own resource file.
            if (relative.startsWith(QLatin1String("qml/chart/")))
                continue;
            QFile source(path);
            QFile resource(QStringLiteral(":/core/") + relative);
            ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << path.toStdString();
            ASSERT_TRUE(resource.open(QIODevice::ReadOnly)) << "missing from core.qrc: " << relative.toStdString();
            EXPECT_EQ(source.readAll(), resource.readAll()) << relative.toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);
}

TEST_F(ControlSet, IconAddressesResolveToPictures)
{
    QQmlEngine engine;
    Created icons = create(engine, QStringLiteral("qrc:/core/qml/icon_shortcuts/IconShortcuts.qml"));
    ASSERT_TRUE(icons.object) << icons.errors.join('\n').toStdString();
    const QMetaObject *meta = icons.object->metaObject();
    int count = 0;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QString url = meta->property(i).read(icons.object.get()).toString();
        ASSERT_TRUE(url.startsWith(QLatin1String("qrc:/core/icons/"))) << url.toStdString();
        const QString file = url.mid(int(qstrlen("qrc")));
        QImage image(file);
        EXPECT_FALSE(image.isNull()) << meta->property(i).name() << " -> " << file.toStdString();
        ++count;
    }
    EXPECT_EQ(count, 15);

    // The icons no control addresses through the singleton are pictures too.
    for (const char *name :
         {"attach.svg", "calibration.png", "close.svg", "connection.png", "description.png", "expand.svg", "file.png",
          "guidebook.png", "help.png", "intro_plane.png", "keyboard_backspace_black_24dp.svg", "list.png",
          "measurment.png", "minimize.svg", "right_angle.png", "save_result.png", "vna_setup.png", "lizard.svg"}) {
        EXPECT_FALSE(QImage(QStringLiteral(":/core/icons/") + QLatin1String(name)).isNull()) << name;
    }
}

// Controls that exist as a plain variant in controls/ and a styled one in
// controls/+vukstyle/.
class TwoVariantControl : public ControlSet, public ::testing::WithParamInterface<const char *>
{};

TEST_P(TwoVariantControl, BothVariantsLoadCleanlyWithOneInterface)
{
    const QString url = QStringLiteral("qrc:/core/qml/controls/%1.qml").arg(QLatin1String(GetParam()));

    QQmlEngine styledEngine;
    CoreQmlTest::selectStyledVariants(&styledEngine);
    Created styled = create(styledEngine, url);
    ASSERT_TRUE(styled.object) << styled.errors.join('\n').toStdString();
    EXPECT_TRUE(styled.errors.isEmpty()) << styled.errors.join('\n').toStdString();
    EXPECT_TRUE(styled.log.isEmpty()) << styled.log.join('\n').toStdString();

    QQmlEngine plainEngine;
    Created plain = create(plainEngine, url);
    ASSERT_TRUE(plain.object) << plain.errors.join('\n').toStdString();
    EXPECT_TRUE(plain.errors.isEmpty()) << plain.errors.join('\n').toStdString();
    EXPECT_TRUE(plain.log.isEmpty()) << plain.log.join('\n').toStdString();

    // The styled engine reads the file under +vukstyle, the plain one the
    // file itself.
    ASSERT_NE(styledEngine.urlInterceptor(), nullptr);
    EXPECT_EQ(styledEngine.urlInterceptor()
                  ->intercept(QUrl(url), QQmlAbstractUrlInterceptor::QmlFile)
                  .toString()
                  .toStdString(),
              QStringLiteral("qrc:/core/qml/controls/+vukstyle/%1.qml").arg(QLatin1String(GetParam())).toStdString());
    EXPECT_EQ(plainEngine.urlInterceptor(), nullptr);

    const Interface a = ownInterface(styled.object.get());
    const Interface b = ownInterface(plain.object.get());
    EXPECT_EQ(joined(a.properties), joined(b.properties));
    EXPECT_EQ(joined(a.signalNames), joined(b.signalNames));
    EXPECT_EQ(joined(a.methods), joined(b.methods));
}

INSTANTIATE_TEST_SUITE_P(Controls, TwoVariantControl,
                         ::testing::Values("VukApplicationWindow", "VukPage", "VukHelpPageGroup", "VukHelpPane",
                                           "VukShadowPane", "VukSeparator", "VukLabel", "VukErrorLabel",
                                           "VukErrorTextField", "VukVnaTable", "VukLizard", "VukBottomBar",
                                           "VukMainMenu", "VukMenuButton", "VukRemovableTabButton",
                                           "ErrorSwipeDelegate", "MessageSwipeDelegate", "WarningSwipeDelegate",
                                           "StatusButton", "DecoratedWindow"));

// Controls with one file, and the style's own controls.
class SingleControl : public ControlSet, public ::testing::WithParamInterface<const char *>
{};

TEST_P(SingleControl, LoadsCleanly)
{
    const QString path = QLatin1String(GetParam());
    QVariantMap initial;
    if (path.endsWith(QLatin1String("VukValidatedTextField.qml")))
        initial = {{QStringLiteral("min"), 0.0}, {QStringLiteral("max"), 1.0}};

    QQmlEngine engine;
    CoreQmlTest::selectStyledVariants(&engine);
    Created created = create(engine, QStringLiteral("qrc:/core/qml/") + path, initial);
    ASSERT_TRUE(created.object) << created.errors.join('\n').toStdString();
    EXPECT_TRUE(created.errors.isEmpty()) << created.errors.join('\n').toStdString();
    EXPECT_TRUE(created.log.isEmpty()) << created.log.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Controls, SingleControl,
    ::testing::Values("controls/VukWarning.qml", "controls/VukNamedToolTip.qml", "controls/ColorImage.qml",
                      "controls/VukNamedTextField.qml", "controls/VukValidatedTextField.qml",
                      "controls/VukMessageDialog.qml", "controls/VukFixtureTabBar.qml", "controls/Stepper.qml",
                      "controls/StepperElement.qml", "controls/WindowButton.qml", "controls/ProgressView.qml",
                      "controls_v2/AlignedScrollPane.qml", "controls_v2/PageWithReturn.qml",
                      "controls_v2/TouchstoneDialog.qml", "vukstyle/Button.qml", "vukstyle/ComboBox.qml",
                      "vukstyle/Drawer.qml", "vukstyle/GroupBox.qml", "vukstyle/Label.qml", "vukstyle/RadioButton.qml",
                      "vukstyle/RadioDelegate.qml", "vukstyle/Switch.qml", "vukstyle/TabButton.qml",
                      "vukstyle/TextField.qml", "vukstyle/ToolButton.qml", "vukstyle/ToolTip.qml"));
