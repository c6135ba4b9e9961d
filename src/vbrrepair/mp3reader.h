#pragma once

#include "vbrrepair/mp3object.h"
#include "vbrrepair/mp3objectcheckerinterface.h"

#include <memory>
#include <vector>

class FeedBackInterface;
class FileBuffer;
class ReadSettings;
class StructureStats;

// Reads a whole input into objects that cover every byte, in file order: recognised
// frames and tags, and UnknownDataObjects for the runs in between. Owns the objects.
// Errors of the recognisers pass through read() as message texts.
class Mp3Reader
{
public:
    Mp3Reader(FileBuffer &input, FeedBackInterface &feedBack, StructureStats &stats,
              const ReadSettings &settings);
    Mp3Reader(const Mp3Reader &) = delete;
    Mp3Reader &operator=(const Mp3Reader &) = delete;
    virtual ~Mp3Reader();

    bool read();
    const std::vector<std::unique_ptr<Mp3Object>> &objects() const { return m_objects; }

private:
    void flushUnknownData();

    std::vector<std::unique_ptr<Mp3Object>> m_objects;
    std::vector<std::unique_ptr<Mp3ObjectCheckerInterface>> m_checkers;
    FileBuffer &m_input;
    FeedBackInterface &m_feedBack;
    StructureStats &m_stats;
    const ReadSettings &m_settings;
};
