#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QWidget>

#include "guiwarnings.h"

using namespace Qt::StringLiterals;

class tst_Resources : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void imageLoadsAtItsSize_data();
    void imageLoadsAtItsSize();
    void styleSheetHasTheRulesInOrder();
    void styleSheetKeepsLineEditBorderCommentedOut();
    void styleSheetParses();

private:
    static QString styleSheet();
};

void tst_Resources::init()
{
    // The offscreen platform reports what it cannot do (raise, size hints); all else fails.
    failOnWarningsButPlatformNotes();
}

QString tst_Resources::styleSheet()
{
    QFile file(u":/style/style"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll());
}

void tst_Resources::imageLoadsAtItsSize_data()
{
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QSize>("size");
    const QStringList actionIcons{u":/open"_s,   u":/about"_s,  u":/slice"_s,
                                  u":/add"_s,    u":/delete"_s, u":/edit"_s,
                                  u":/search"_s, u":/launch"_s, u":/stop"_s, u":/silences"_s, u":/play"_s};
    for (const QString &alias : actionIcons)
        QTest::newRow(qPrintable(alias)) << alias << QSize(32, 32);
    QTest::newRow(":/columnView") << u":/columnView"_s << QSize(16, 16);
    QTest::newRow(":/normalMarker") << u":/normalMarker"_s << QSize(56, 20);
    QTest::newRow(":/pressedMarker") << u":/pressedMarker"_s << QSize(56, 20);
}

void tst_Resources::imageLoadsAtItsSize()
{
    QFETCH(QString, alias);
    QFETCH(QSize, size);

    QImageReader reader(alias);
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QCOMPARE(reader.size(), size);

    // Something is drawn, and not edge to edge in one colour.
    const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    QVERIFY(colours.size() > 2);
}

void tst_Resources::styleSheetHasTheRulesInOrder()
{
    QString text = styleSheet();
    QVERIFY(!text.isEmpty());
    text.remove(
        QRegularExpression(u"/\\*.*?\\*/"_s, QRegularExpression::DotMatchesEverythingOption));

    struct Rule
    {
        QString selectors;
        QString declarations;
    };
    const QList<Rule> expected{
        {u"QMainWindow::separator, #stopButton, #columnViewButton"_s, u"border : none;"_s},
        {u"#lineEditButton"_s, QString()},
        {u"#lineEditButton:pressed"_s, u"background-color : lightgray;"_s},
        {u"QTreeView::branch"_s, u"image : none;"_s},
        {u"#statusBarButton"_s, u"border: none;"_s},
        {u"QStatusBar::item"_s, u"border: none;"_s},
    };

    QList<Rule> found;
    const QRegularExpression rule(u"([^{}]+)\\{([^{}]*)\\}"_s);
    auto it = rule.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        found.append({match.captured(1).simplified(), match.captured(2).simplified()});
    }
    QCOMPARE(found.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(found.at(i).selectors, expected.at(i).selectors);
        QCOMPARE(found.at(i).declarations, expected.at(i).declarations);
    }
}

void tst_Resources::styleSheetKeepsLineEditBorderCommentedOut()
{
    const QString text = styleSheet();
    const QRegularExpression block(u"#lineEditButton\\s*\\{\\s*/\\*(.*?)\\*/\\s*\\}"_s,
                                   QRegularExpression::DotMatchesEverythingOption);
    const auto match = block.match(text);
    QVERIFY(match.hasMatch());
    const QString comment = match.captured(1).simplified();
    QVERIFY2(comment.contains(u"border : 1px solid gray;"_s), qPrintable(comment));
    QVERIFY2(comment.contains(u"border-radius : 0px;"_s), qPrintable(comment));
}

void tst_Resources::styleSheetParses()
{
    // A style sheet the toolkit cannot parse produces a warning, which fails this test.
    qApp->setStyleSheet(styleSheet());
    QWidget widget;
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    qApp->setStyleSheet(QString());
}

QTEST_MAIN(tst_Resources)
#include "tst_resources.moc"
