#pragma once

#include "vbrrepair/feedbackinterface.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>
#include <vector>

// Test double for the engine's feedback: records every message and answers stop requests
// from a predicate, so a test can stop at a chosen moment.
class RecordingFeedBack final : public FeedBackInterface
{
public:
    void progress() override { ++progressCalls; }
    void message(FeedBackMessage message) override { messages.push_back(std::move(message)); }
    bool shouldStop() override
    {
        ++stopQueries;
        return stopWhen && stopWhen();
    }

    QList<QByteArray> texts(int level) const
    {
        QList<QByteArray> result;
        for (const FeedBackMessage &m : messages) {
            if (m.level == level)
                result.append(QByteArray::fromStdString(m.text));
        }
        return result;
    }
    bool has(int level, const QByteArray &text) const { return texts(level).contains(text); }

    std::vector<FeedBackMessage> messages;
    int progressCalls = 0;
    int stopQueries = 0;
    std::function<bool()> stopWhen;
};
