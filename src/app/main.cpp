#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

#include <memory>

#include "app/mainwindow.h"
#include "app/screenshottaker.h"
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

        // "mavlor FILE.mp3", the way a file manager starts it; other arguments are Qt's.
        const QStringList arguments = QApplication::arguments();
        const QString file = arguments.size() > 1 ? arguments.at(1) : QString();
        MainWindow *shown = window.get();
        const auto openGivenFile = [shown, file] {
            if (!file.isEmpty())
                shown->openFile(QFileInfo(file).absoluteFilePath());
        };
        std::unique_ptr<ScreenshotTaker> screenshots;
        const QString screenshotFolder = qEnvironmentVariable("MAVLOR_SCREENSHOT_DIR");
        if (screenshotFolder.isEmpty()) {
            QMetaObject::invokeMethod(shown, openGivenFile, Qt::QueuedConnection);
        } else {
            screenshots =
                std::make_unique<ScreenshotTaker>(shown, screenshotFolder, !file.isEmpty());
            QObject::connect(screenshots.get(), &ScreenshotTaker::readyForFile, shown,
                             openGivenFile);
        }
        exitCode = QApplication::exec();
        screenshots.reset();

        // Torn down in reverse order of creation, the window before the application.
        window.reset();
        styleFile.close();
    }
    instanceLock.unlock();
    return exitCode;
}
