#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/droppablewindow.h"
#include "guiwarnings.h"

using namespace Qt::StringLiterals;

class tst_DroppableWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void dropEmitsOnlyAcceptedFilesInOrder_data();
    void dropEmitsOnlyAcceptedFilesInOrder();
    void dragEnterIsAcceptedWhateverItCarries();
    void leftPressEmitsClicked_data();
    void leftPressEmitsClicked();

private:
    QUrl urlFor(const QString &name) const;
    QString pathFor(const QString &name) const { return m_dir.filePath(name); }
    // Drags urls onto the window and drops them; whether the window accepted the drop.
    bool drop(DroppableWindow &window, const QList<QUrl> &urls);

    QTemporaryDir m_dir;
};

void tst_DroppableWindow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QStringList files{u"one.mp3"_s,       u"two.MP3"_s, u"three.mp3"_s, u"live.2001.mp3"_s,
                            u"album.mp3.txt"_s, u"mp3"_s,     u"notes.Mp3"_s};
    for (const QString &name : files) {
        QFile file(pathFor(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write("x"), 1);
    }
    QVERIFY(QDir(m_dir.path()).mkdir(u"folder.mp3"_s));
}

void tst_DroppableWindow::init()
{
    // The offscreen platform reports what it cannot do (raise, size hints); all else fails.
    failOnWarningsButPlatformNotes();
}

QUrl tst_DroppableWindow::urlFor(const QString &name) const
{
    if (name.contains(u"://"_s))
        return QUrl(name);
    return QUrl::fromLocalFile(pathFor(name));
}

bool tst_DroppableWindow::drop(DroppableWindow &window, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPointF at(20, 20);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDropEvent dropEvent(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &dropEvent);
    return dropEvent.isAccepted();
}

void tst_DroppableWindow::dropEmitsOnlyAcceptedFilesInOrder_data()
{
    QTest::addColumn<bool>("acceptAny"); // else only the suffix mp3
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("upper-case suffix refused")
        << false << QStringList{u"two.MP3"_s} << QStringList{};
    QTest::newRow("mixed-case suffix refused")
        << false << QStringList{u"notes.Mp3"_s} << QStringList{};
    QTest::newRow("folder named like an mp3")
        << false << QStringList{u"folder.mp3"_s} << QStringList{};
    QTest::newRow("missing file") << false << QStringList{u"gone.mp3"_s} << QStringList{};
    QTest::newRow("remote url") << false << QStringList{u"http://example.org/a.mp3"_s}
                                << QStringList{};
    QTest::newRow("suffix is after the last dot")
        << false << QStringList{u"album.mp3.txt"_s, u"live.2001.mp3"_s}
        << QStringList{u"live.2001.mp3"_s};
    QTest::newRow("name without a dot") << false << QStringList{u"mp3"_s} << QStringList{};
    QTest::newRow("two of three kept in drop order")
        << false << QStringList{u"three.mp3"_s, u"two.MP3"_s, u"one.mp3"_s}
        << QStringList{u"three.mp3"_s, u"one.mp3"_s};
    QTest::newRow("nothing dropped") << false << QStringList{} << QStringList{};
    QTest::newRow("accept any file still refuses folders")
        << true << QStringList{u"folder.mp3"_s, u"two.MP3"_s, u"album.mp3.txt"_s}
        << QStringList{u"two.MP3"_s, u"album.mp3.txt"_s};
}

void tst_DroppableWindow::dropEmitsOnlyAcceptedFilesInOrder()
{
    QFETCH(bool, acceptAny);
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, expected);

    DroppableWindow window;
    if (acceptAny)
        window.setAcceptAnyFile(true);
    else
        window.addSuffix("mp3");
    QSignalSpy spy(&window, &DroppableWindow::filesDropped);
    QList<QUrl> urls;
    for (const QString &name : std::as_const(dropped))
        urls.append(urlFor(name));
    QVERIFY(drop(window, urls));

    if (expected.isEmpty()) {
        QCOMPARE(spy.count(), 0);
        return;
    }
    QCOMPARE(spy.count(), 1);
    QStringList expectedPaths;
    for (const QString &name : std::as_const(expected))
        expectedPaths.append(pathFor(name));
    QCOMPARE(spy.at(0).at(0).value<DroppableWindow::FileList>(), expectedPaths);
}

void tst_DroppableWindow::dragEnterIsAcceptedWhateverItCarries()
{
    DroppableWindow window;
    QVERIFY(window.acceptDrops());
    QMimeData data;
    data.setText(u"not a file"_s);
    QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QCoreApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::MoveAction);
}

void tst_DroppableWindow::leftPressEmitsClicked_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("clicks");
    QTest::newRow("left") << Qt::LeftButton << 1;
    QTest::newRow("right") << Qt::RightButton << 0;
    QTest::newRow("middle") << Qt::MiddleButton << 0;
}

void tst_DroppableWindow::leftPressEmitsClicked()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, clicks);
    DroppableWindow window;
    window.resize(200, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy spy(&window, &DroppableWindow::clicked);
    QTest::mousePress(&window, button, Qt::NoModifier, QPoint(50, 50));
    QTest::mouseRelease(&window, button, Qt::NoModifier, QPoint(50, 50));
    QCOMPARE(spy.count(), clicks);
}

QTEST_MAIN(tst_DroppableWindow)
#include "tst_droppablewindow.moc"
