#pragma once

#include <string>

// One event of a repair: its text and how serious it is (FeedBackInterface::Level).
struct FeedBackMessage
{
    std::string text;
    int level;
};

// Receives everything the repair engine reports. Called on the repairing thread only;
// shouldStop() is the one call another thread may influence.
class FeedBackInterface
{
public:
    enum Level {
        Detail = 0,
        Info = 1,
        Warning = 2,
        Error = 3
    };

    virtual ~FeedBackInterface() = default;
    virtual void progress() = 0;
    virtual void message(FeedBackMessage message) = 0;
    virtual bool shouldStop() = 0;

    void post(int level, const std::string &text) { message(FeedBackMessage{text, level}); }
};
