#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <memory>

#include "terminaltext.h"
#include "threads/thread.h"
#include "workerrun.h"

// What the lookup commands of mavlor-cli share: the window panel's thread object, run on a
// thread of its own and waited for in a local event loop, and how a search ends.
template<typename Object>
class LookupJob : public QObject
{
protected:
    // service names the server in messages: "freedb", "MusicBrainz".
    LookupJob(const QString &service, QObject *parent)
        : QObject(parent)
        , m_object(std::make_unique<Object>())
        , m_thread(std::make_unique<Thread>(m_object.get()))
        , m_service(service)
    {
        connect(m_object.get(), &Object::failed, this,
                [this](const QString &reason) { m_error = reason; });
    }

    ~LookupJob() override
    {
        // A command returns only after the thread stopped; this guards an early exit all the
        // same.
        m_thread->stopAndWait();
        m_object.reset();
        m_thread.reset();
    }

    // Runs the request stored in the thread object; false when interrupted.
    bool run()
    {
        m_answered = false;
        m_error.clear();
        return WorkerRun::run(*m_thread, *m_object);
    }

    // Searches for text and prints the lines listing(), called on an answer, makes of it.
    // Returns 0 with at least one line, 1 with none, 2 (one line on standard error) for an
    // empty text or without a usable answer, 130 when interrupted.
    template<typename Listing>
    int runSearch(const QString &text, Listing &&listing)
    {
        using namespace Qt::StringLiterals;
        if (text.trimmed().isEmpty()) {
            TerminalText::printLine(stderr, u"mavlor-cli: nothing to search for"_s);
            return 2;
        }
        m_object->setSearchRequest(text);
        if (!run()) {
            TerminalText::printLine(stderr, u"mavlor-cli: stopped"_s);
            return 130;
        }
        if (!m_answered) {
            TerminalText::printLine(stderr,
                                    u"mavlor-cli: no usable answer from the %1 server: %2"_s.arg(
                                        m_service, TerminalText::escaped(m_error)));
            return 2;
        }
        const QStringList lines = listing();
        for (const QString &line : lines)
            TerminalText::printLine(stdout, line);
        return lines.isEmpty() ? 1 : 0;
    }

    std::unique_ptr<Object> m_object;
    std::unique_ptr<Thread> m_thread;
    QString m_service;
    QString m_error;
    bool m_answered = false; // the last request's answer came
};
