#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers every modal widget that shows while it lives: records it, lets `act` work on it,
// and closes it if it is still open, so a test never hangs on an unexpected dialog.
class ModalAnswerer
{
public:
    struct Seen
    {
        QString className;
        QString text; // a message box's text
    };

    explicit ModalAnswerer(std::function<void(QWidget *)> act = {})
        : m_act(std::move(act))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { poll(); });
        m_timer.start();
    }

    QList<Seen> seen;

    QString messages() const
    {
        QStringList texts;
        for (const Seen &entry : seen)
            texts << entry.text;
        return texts.join(u'|');
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        Seen entry{QString::fromLatin1(modal->metaObject()->className()), {}};
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            entry.text = box->text();
        seen.append(entry);
        if (m_act)
            m_act(modal);
        if (modal->isVisible()) {
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        }
    }

    std::function<void(QWidget *)> m_act;
    QTimer m_timer;
};
