#include <QApplication>
#include <QFontMetrics>
#include <QLayout>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "app/buttonlineedit.h"
#include "guiwarnings.h"

using namespace Qt::StringLiterals;

class tst_ButtonLineEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void onlyMainReturnEmitsEnterPressedAndTypingReachesField_data();
    void onlyMainReturnEmitsEnterPressedAndTypingReachesField();
    void buttonClickEmitsClickedOnce();
    void buttonSitsInsideRightEnd();
    void buttonKeepsArrowCursor();
};

void tst_ButtonLineEdit::init()
{
    // The offscreen platform reports what it cannot do (raise, size hints); all else fails.
    failOnWarningsButPlatformNotes();
}

void tst_ButtonLineEdit::onlyMainReturnEmitsEnterPressedAndTypingReachesField_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("enterPressed");

    QTest::newRow("Return") << Qt::Key_Return << Qt::KeyboardModifiers() << 1;
    QTest::newRow("keypad Enter") << Qt::Key_Enter << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                  << 0;
    QTest::newRow("Return flagged as keypad")
        << Qt::Key_Return << Qt::KeyboardModifiers(Qt::KeypadModifier) << 0;
    QTest::newRow("Shift+Return") << Qt::Key_Return << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                  << 1;
}

void tst_ButtonLineEdit::onlyMainReturnEmitsEnterPressedAndTypingReachesField()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, enterPressed);

    ButtonLineEdit field(u"..."_s);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    QSignalSpy enter(&field, &ButtonLineEdit::enterPressed);
    // The line edit's own signal proves the key was passed on to it.
    QSignalSpy returned(&field, &QLineEdit::returnPressed);
    QTest::keyClicks(&field, u"/tmp/out"_s);
    QTest::keyClick(&field, Qt::Key_Backspace);
    QTest::keyClick(&field, key, modifiers);
    QCOMPARE(field.text(), u"/tmp/ou"_s);
    QCOMPARE(enter.count(), enterPressed);
    QCOMPARE(returned.count(), 1);
}

void tst_ButtonLineEdit::buttonClickEmitsClickedOnce()
{
    ButtonLineEdit field(u"..."_s);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    auto *button = field.findChild<QPushButton *>(u"lineEditButton"_s);
    QVERIFY(button);
    QCOMPARE(button, field.button());
    QCOMPARE(button->text(), u"..."_s);
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
    QSignalSpy clicked(&field, &ButtonLineEdit::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
}

void tst_ButtonLineEdit::buttonSitsInsideRightEnd()
{
    const QString text = u"Search"_s;
    ButtonLineEdit field(text);
    field.resize(300, field.sizeHint().height());
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    const int expectedWidth = QFontMetrics(QApplication::font()).horizontalAdvance(text) + 12;
    QCOMPARE(field.button()->width(), expectedWidth);
    QVERIFY(field.layout());
    QCOMPARE(field.layout()->contentsMargins(), QMargins(0, 2, 2, 2));
    QCOMPARE(field.layout()->spacing(), 0);
    QCOMPARE(field.button()->geometry().right(), field.width() - 1 - 2);
    QCOMPARE(field.button()->geometry().top(), 2);
}

void tst_ButtonLineEdit::buttonKeepsArrowCursor()
{
    ButtonLineEdit field(u"..."_s);
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    QVERIFY(field.button()->hasMouseTracking());
    QTest::mouseMove(field.button(), field.button()->rect().center());
    QTRY_COMPARE(field.button()->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(field.button()->testAttribute(Qt::WA_SetCursor));
    QCOMPARE(field.cursor().shape(), Qt::IBeamCursor);
}

QTEST_MAIN(tst_ButtonLineEdit)
#include "tst_buttonlineedit.moc"
