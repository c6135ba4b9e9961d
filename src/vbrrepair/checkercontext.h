#pragma once

class FileBuffer;
class FeedBackInterface;
class ReadSettings;

// What every recogniser is given: the input at the candidate position, where to report,
// and the read options.
struct CheckerContext
{
    FileBuffer &input;
    FeedBackInterface &feedBack;
    const ReadSettings &settings;
};
