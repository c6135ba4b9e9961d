#include <QAction>
#include <QApplication>
#include <QDataStream>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/aboutdialog.h"
#include "app/mainwindow.h"
#include "app/progresswidget.h"
#include "guiwarnings.h"
#include "work/mp3manager.h"
#include "work/session.h"

using namespace Qt::StringLiterals;

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void firstRunOpensAt640By480WithEmptyCurrentFile();
    void closeWritesEveryKey();
    void nextRunRestoresFileAndGeometry();
    void closeWritesBackRestoredFile();
    void damagedSettingsLeaveDefaults_data();
    void damagedSettingsLeaveDefaults();
    void progressPanelStaysCentred_data();
    void progressPanelStaysCentred();
    void actionsCarryShortcutsAndStartState_data();
    void actionsCarryShortcutsAndStartState();
    void aboutShowsVersionModally();

private:
    QString iniPath() const;
    void removeSettings();

    QTemporaryDir m_dir;
    Mp3ManagerScope m_workManager; // the window's work manager, as main() keeps it
};

void tst_MainWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QCoreApplication::setApplicationName(u"Mavlor"_s);
    QCoreApplication::setOrganizationName(u"Orvane Software"_s);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
}

void tst_MainWindow::init()
{
    // The offscreen platform reports what it cannot do (raise, size hints); all else fails.
    failOnWarningsButPlatformNotes();
}

QString tst_MainWindow::iniPath() const
{
    return m_dir.filePath(u"Orvane Software/Mavlor.ini"_s);
}

void tst_MainWindow::removeSettings()
{
    QSettings().clear();
    QSettings().sync();
}

void tst_MainWindow::firstRunOpensAt640By480WithEmptyCurrentFile()
{
    removeSettings();
    MainWindow window;
    QCOMPARE(window.objectName(), u"MainWindow"_s);
    QCOMPARE(window.windowTitle(), u"Mavlor"_s);
    QCOMPARE(window.size(), QSize(640, 480));
    QCOMPARE(window.contextMenuPolicy(), Qt::NoContextMenu);
    QVERIFY(!window.windowIcon().isNull());
    QVERIFY(window.currentFile().isEmpty());
    QVERIFY(window.acceptDrops());
    auto *splitter = window.findChild<QSplitter *>(u"mainSplitter"_s);
    QVERIFY(splitter);
    QCOMPARE(splitter->orientation(), Qt::Vertical);
    QCOMPARE(window.findChild<ProgressWidget *>(u"progressWidget"_s), window.progressPanel());
    QVERIFY(window.progressPanel()->isHidden());
    // Before the first file the welcome panel fills the window and offers Open.
    QVERIFY(window.welcomePanel());
    QVERIFY(splitter->isHidden());
    QCOMPARE(window.welcomePanel()->openButton()->defaultAction(),
             window.findChild<QAction *>(u"actionOpen"_s));
}

void tst_MainWindow::closeWritesEveryKey()
{
    removeSettings();
    QByteArray splitterState;
    QSettings().setValue(u"recent.file"_s, u"/music/Live at the Hall.mp3"_s);
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        splitterState = window.mainSplitter()->saveState();
        QVERIFY(window.close());
    }
    QVERIFY(QFile::exists(iniPath()));

    // Read the file itself, so a wrong group nesting shows up as a missing key.
    QSettings ini(iniPath(), QSettings::IniFormat);
    const QStringList expectedKeys{u"recent.file"_s,
                                   u"recent.files"_s,
                                   u"slice/sample.exact"_s,
                                   u"ui/main.splitter/geometry"_s,
                                   u"ui/main.splitter/state"_s,
                                   u"ui/main.window/geometry"_s,
                                   u"ui/main.window/state"_s};
    QStringList keys = ini.allKeys();
    keys.sort();
    QCOMPARE(keys, expectedKeys);
    QCOMPARE(ini.value(u"recent.file"_s).toString(), u"/music/Live at the Hall.mp3"_s);
    QCOMPARE(ini.value(u"ui/main.splitter/state"_s).toByteArray(), splitterState);
    QVERIFY(!ini.value(u"ui/main.window/geometry"_s).toByteArray().isEmpty());
    QVERIFY(!ini.value(u"ui/main.window/state"_s).toByteArray().isEmpty());
    QVERIFY(!ini.value(u"ui/main.splitter/geometry"_s).toByteArray().isEmpty());
}

void tst_MainWindow::nextRunRestoresFileAndGeometry()
{
    removeSettings();
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(700, 520);
        window.findChild<QAction *>(u"actionSampleExact"_s)->setChecked(true);
        QVERIFY(window.session()->sampleExact());
        QVERIFY(window.close());
    }
    QSettings().setValue(u"recent.file"_s, u"/music/album.mp3"_s);
    MainWindow again;
    QCOMPARE(again.recentFile(), u"/music/album.mp3"_s);
    QVERIFY(again.session()->sampleExact());
    QCOMPARE(again.size(), QSize(700, 520));
    QVERIFY(again.isHidden());
}

void tst_MainWindow::closeWritesBackRestoredFile()
{
    removeSettings();
    QSettings().setValue(u"recent.file"_s, u"/music/old.mp3"_s);
    {
        MainWindow window;
        QVERIFY(window.close());
    }
    QCOMPARE(QSettings(iniPath(), QSettings::IniFormat).value(u"recent.file"_s).toString(),
             u"/music/old.mp3"_s);

    removeSettings();
    {
        MainWindow window;
        QVERIFY(window.close());
    }
    QSettings ini(iniPath(), QSettings::IniFormat);
    QVERIFY(ini.contains(u"recent.file"_s));
    QCOMPARE(ini.value(u"recent.file"_s).toString(), QString());
}

void tst_MainWindow::damagedSettingsLeaveDefaults_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("geometry garbage")
        << u"ui/main.window/geometry"_s << QVariant(QByteArray("\x01\xd9\xd0\xcb garbage"));
    QTest::newRow("geometry truncated")
        << u"ui/main.window/geometry"_s << QVariant(QByteArray::fromHex("01d9d0cb0003"));
    QTest::newRow("state garbage") << u"ui/main.window/state"_s << QVariant(QByteArray(64, '\xff'));
    QTest::newRow("splitter state garbage")
        << u"ui/main.splitter/state"_s << QVariant(QByteArray(7, '\0'));
    QByteArray emptyRectangles;
    {
        // Complete, but every rectangle in it is empty.
        QDataStream stream(&emptyRectangles, QIODevice::WriteOnly);
        stream.setVersion(QDataStream::Qt_4_0);
        stream << quint32(0x1D9D0CB) << quint16(3) << quint16(0) << QRect() << QRect() << qint32(0)
               << quint8(0) << quint8(0) << qint32(1920) << QRect();
    }
    QTest::newRow("geometry with empty rectangles")
        << u"ui/main.window/geometry"_s << QVariant(emptyRectangles);
    QTest::newRow("geometry as text") << u"ui/main.window/geometry"_s << QVariant(u"wide"_s);
}

void tst_MainWindow::damagedSettingsLeaveDefaults()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    removeSettings();
    QSettings().setValue(key, value);
    MainWindow window;
    QCOMPARE(window.size(), QSize(640, 480));
    QVERIFY(window.currentFile().isEmpty());
}

void tst_MainWindow::progressPanelStaysCentred_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QPoint>("panelAt");
    // Centre minus half the panel's 200 by 50, with integer division, in the window's own
    // coordinates: where the window stands does not matter.
    QTest::newRow("640x480 at 100,60") << QRect(100, 60, 640, 480) << QPoint(220, 215);
    QTest::newRow("odd size 701x333 at 0,0") << QRect(0, 0, 701, 333) << QPoint(250, 141);
}

void tst_MainWindow::progressPanelStaysCentred()
{
    QFETCH(QRect, frame);
    QFETCH(QPoint, panelAt);
    removeSettings();
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.setGeometry(frame);
    QTRY_COMPARE(window.geometry(), frame);
    QCOMPARE(window.progressPanel()->pos(), panelAt);
}

void tst_MainWindow::actionsCarryShortcutsAndStartState_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<bool>("enabled"); // before the first file
    QTest::newRow("Open") << u"actionOpen"_s << QKeySequence(QKeySequence::Open) << true;
    QTest::newRow("Exit") << u"actionExit"_s << QKeySequence(QKeySequence::Quit) << true;
    QTest::newRow("About") << u"actionAbout"_s << QKeySequence() << true;
    QTest::newRow("Slice") << u"actionSlice"_s << QKeySequence(u"Ctrl+Return"_s) << false;
    QTest::newRow("Add") << u"actionAdd"_s << QKeySequence(Qt::Key_Insert) << false;
    QTest::newRow("Search") << u"actionFreedbSearch"_s << QKeySequence(QKeySequence::Find) << false;
    QTest::newRow("Undo") << u"actionUndo"_s << QKeySequence(QKeySequence::Undo) << false;
    QTest::newRow("Fit") << u"actionFit"_s << QKeySequence(u"Ctrl+0"_s) << false;
    QTest::newRow("Remove") << u"actionRemove"_s << QKeySequence(QKeySequence::Delete) << false;
    QTest::newRow("Edit") << u"actionEdit"_s << QKeySequence(Qt::Key_F2) << false;
    QTest::newRow("Zoom in") << u"actionZoomIn"_s << QKeySequence(QKeySequence::ZoomIn) << false;
    QTest::newRow("Zoom out") << u"actionZoomOut"_s << QKeySequence(QKeySequence::ZoomOut) << false;
}

void tst_MainWindow::actionsCarryShortcutsAndStartState()
{
    QFETCH(QString, name);
    QFETCH(QKeySequence, shortcut);
    QFETCH(bool, enabled);
    MainWindow window;
    auto *action = window.findChild<QAction *>(name);
    QVERIFY(action);
    QCOMPARE(action->shortcut(), shortcut);
    QCOMPARE(action->isEnabled(), enabled);
    // Tool bar buttons explain themselves and name their key.
    if (window.findChild<QToolBar *>(u"toolBar"_s)->actions().contains(action)) {
        QVERIFY(action->toolTip() != action->text());
        QVERIFY2(action->toolTip().contains(shortcut.toString(QKeySequence::NativeText)),
                 qPrintable(action->toolTip()));
    }
}

void tst_MainWindow::aboutShowsVersionModally()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList texts;
    bool modal = false;
    QTimer::singleShot(0, &window, [&] {
        auto *dialog = qobject_cast<AboutDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        modal = dialog->isModal();
        for (const QLabel *label : dialog->findChildren<QLabel *>())
            texts << label->text();
        dialog->accept();
    });
    window.findChild<QAction *>(u"actionAbout"_s)->trigger();
    QVERIFY(modal);
    QVERIFY2(texts.contains(u"Version %1"_s.arg(QStringLiteral(MAVLOR_VERSION))),
             qPrintable(texts.join(u'|')));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
