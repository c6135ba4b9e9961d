#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "slice/trackcommitter.h"

using namespace Qt::StringLiterals;

namespace {

enum Kind {
    Complete,
    Missing,      // the temporary file is gone
    NoSuchFolder, // the name's folder does not exist
};

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
}

} // namespace

class tst_TrackCommitter : public QObject
{
    Q_OBJECT

private slots:
    void eachFileTakesItsNameOrStaysAsItWas_data();
    void eachFileTakesItsNameOrStaysAsItWas();
};

void tst_TrackCommitter::eachFileTakesItsNameOrStaysAsItWas_data()
{
    QTest::addColumn<QList<int>>("kinds");
    QTest::newRow("all complete") << QList<int>{Complete, Complete, Complete, Complete};
    QTest::newRow("one missing among them") << QList<int>{Complete, Missing, Complete};
    QTest::newRow("a folder that does not exist") << QList<int>{NoSuchFolder, Complete};
}

void tst_TrackCommitter::eachFileTakesItsNameOrStaysAsItWas()
{
    QFETCH(QList<int>, kinds);
    QTemporaryDir dir;
    QStringList from;
    QStringList to;
    QStringList outcomes;
    {
        TrackCommitter committer;
        for (qsizetype i = 0; i < kinds.size(); ++i) {
            from.append(dir.filePath(u"track%1.tmp"_s.arg(i)));
            to.append(dir.filePath(kinds[i] == NoSuchFolder ? u"gone/%1.mp3"_s.arg(i)
                                                            : u"%1.mp3"_s.arg(i)));
            QFile file(from.last());
            if (kinds[i] != Missing)
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(i)) > 0);
            file.close();
            committer.add(from.last(), to.last());
            // Half of them are taken while the others may still be on their way.
            if (i % 2 == 0)
                outcomes += committer.take(kinds.size());
        }
        outcomes += committer.take(0);
    }
    QCOMPARE(outcomes.size(), kinds.size());
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        QCOMPARE(outcomes[i].isEmpty(), kinds[i] == Complete);
        const QByteArray number = QByteArray::number(i);
        QCOMPARE(contents(to[i]), kinds[i] == Complete ? number : "(absent)");
        QCOMPARE(contents(from[i]), kinds[i] == NoSuchFolder ? number : QByteArray("(absent)"));
    }
}

QTEST_GUILESS_MAIN(tst_TrackCommitter)
#include "tst_trackcommitter.moc"
