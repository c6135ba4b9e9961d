#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSettings>

#include <memory>

#include "app/mainwindow.h"
#include "work/mp3manager.h"

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // Stands in for the named system mutex; a second instance runs like the first, so the
    // result of the lock is deliberately not looked at.
    QLockFile instanceLock(QDir::temp().filePath(u"com.orvane.mavlor.lock"_s));
    instanceLock.setStaleLockTime(0);
    (void)instanceLock.tryLock(0);

    int exitCode = 0;
    {
        QApplication application(argc, argv);

        QFile styleFile(u":/style/style"_s);
        if (styleFile.open(QIODevice::ReadOnly))
            application.setStyleSheet(QString::fromLatin1(styleFile.readAll()));

        QApplication::setApplicationName(u"Mavlor"_s);
        QApplication::setOrganizationName(u"Orvane Software"_s);
        QSettings::setDefaultFormat(QSettings::IniFormat);

        // The work manager outlives the window, which registers commands with it, and ends
        // while the application object still exists.
        Mp3ManagerScope workManager;
        auto window = std::make_unique<MainWindow>();
        window->show();
        exitCode = QApplication::exec();

        // Torn down in reverse order of creation, the window before the application.
        window.reset();
        styleFile.close();
    }
    instanceLock.unlock();
    return exitCode;
}
