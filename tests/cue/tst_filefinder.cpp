#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "cue/filefinder.h"
#include "threads/icontinuelistener.h"

using namespace Qt::StringLiterals;

namespace {

// Allows a fixed number of checks, then asks to stop.
class CountingListener final : public IContinueListener
{
public:
    explicit CountingListener(int allowed)
        : m_allowed(allowed)
    {
    }
    bool shouldContinue() override { return m_allowed-- > 0; }

private:
    int m_allowed;
};

QStringList relativeNames(const QString &root, const FileFinder::FileList &paths)
{
    const QDir dir(QFileInfo(root).canonicalFilePath());
    QStringList names;
    for (const QString &path : paths)
        names.append(dir.relativeFilePath(path));
    names.sort();
    return names;
}

} // namespace

class tst_FileFinder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void scanHonoursRecursionSuffixesAndAcceptAll_data();
    void scanHonoursRecursionSuffixesAndAcceptAll();
    void stopEndsWalkAtNextFile();
    void listingIsUsedUpUntilDirectoryIsSetAgain();
    void emptyOrMissingDirectoryFindsNothing();

private:
    QTemporaryDir m_dir;
};

void tst_FileFinder::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QStringList files{u"a.cue"_s, u"b.CUE"_s,     u"c.txt"_s,           u"d.cue.bak"_s,
                            u"noext"_s, u"sub/e.cue"_s, u"sub/deeper/f.txt"_s};
    for (const QString &name : files) {
        QVERIFY(QDir().mkpath(QFileInfo(m_dir.filePath(name)).absolutePath()));
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::link(m_dir.filePath(u"a.cue"_s), m_dir.filePath(u"link.cue"_s)));
}

void tst_FileFinder::scanHonoursRecursionSuffixesAndAcceptAll_data()
{
    QTest::addColumn<bool>("recursive");
    QTest::addColumn<bool>("acceptAll");
    QTest::addColumn<QStringList>("suffixes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("flat cue") << false << false << QStringList{u"cue"_s} << QStringList{u"a.cue"_s};
    QTest::newRow("recursive cue")
        << true << false << QStringList{u"cue"_s} << QStringList{u"a.cue"_s, u"sub/e.cue"_s};
    QTest::newRow("two suffixes") << false << false << QStringList{u"txt"_s, u"bak"_s}
                                  << QStringList{u"c.txt"_s, u"d.cue.bak"_s};
    QTest::newRow("no suffix matches nothing") << false << false << QStringList{} << QStringList{};
    QTest::newRow("accept all, flat")
        << false << true << QStringList{}
        << QStringList{u"a.cue"_s, u"b.CUE"_s, u"c.txt"_s, u"d.cue.bak"_s, u"noext"_s};
    QTest::newRow("accept all, recursive")
        << true << true << QStringList{u"cue"_s}
        << QStringList{u"a.cue"_s,     u"b.CUE"_s, u"c.txt"_s,
                       u"d.cue.bak"_s, u"noext"_s, u"sub/deeper/f.txt"_s,
                       u"sub/e.cue"_s};
}

void tst_FileFinder::scanHonoursRecursionSuffixesAndAcceptAll()
{
    QFETCH(bool, recursive);
    QFETCH(bool, acceptAll);
    QFETCH(QStringList, suffixes);
    QFETCH(QStringList, expected);

    FileFinder finder(m_dir.path(), recursive, acceptAll);
    for (const QString &suffix : std::as_const(suffixes))
        finder.addSuffix(suffix);
    FileFinder::FileList found{u"kept"_s};
    finder.find(found);
    QCOMPARE(found.takeFirst(), u"kept"_s); // find() appends, never replaces
    QCOMPARE(relativeNames(m_dir.path(), found), expected);
}

void tst_FileFinder::stopEndsWalkAtNextFile()
{
    FileFinder finder(m_dir.path(), true, true);
    CountingListener none(0);
    finder.setContinueListener(&none);
    FileFinder::FileList found;
    finder.find(found);
    QVERIFY(found.isEmpty());

    // Two checks pass, so two of the seven files are taken before the walk ends.
    finder.setDirectory(m_dir.path());
    CountingListener two(2);
    finder.setContinueListener(&two);
    finder.find(found);
    QCOMPARE(found.size(), 2);
}

void tst_FileFinder::listingIsUsedUpUntilDirectoryIsSetAgain()
{
    FileFinder finder(m_dir.path(), false, false);
    finder.addSuffix(u"cue"_s);
    FileFinder::FileList first;
    finder.find(first);
    QCOMPARE(first.size(), 1);
    FileFinder::FileList second;
    finder.find(second);
    QVERIFY(second.isEmpty());
    finder.setDirectory(m_dir.path());
    finder.find(second);
    QCOMPARE(second, first);
}

void tst_FileFinder::emptyOrMissingDirectoryFindsNothing()
{
    FileFinder empty(QString(), false, true);
    FileFinder::FileList found;
    empty.find(found);
    QVERIFY(found.isEmpty());

    FileFinder missing(m_dir.filePath(u"does-not-exist"_s), false, true);
    missing.find(found);
    QVERIFY(found.isEmpty());
}

QTEST_GUILESS_MAIN(tst_FileFinder)
#include "tst_filefinder.moc"
