#include "vbrrepair/mp3reader.h"

#include "vbrrepair/apetag.h"
#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/filebuffer.h"
#include "vbrrepair/id3v1tag.h"
#include "vbrrepair/id3v2tag.h"
#include "vbrrepair/lyrics3tag.h"
#include "vbrrepair/mp3frame.h"
#include "vbrrepair/mp3objectchecker.h"
#include "vbrrepair/readsettings.h"
#include "vbrrepair/structurestats.h"
#include "vbrrepair/unknowndataobject.h"

#include <algorithm>

namespace {

constexpr std::uint64_t kShownBytes = 10;

int percentOf(std::uint64_t position, std::uint64_t size)
{
    if (size == 0)
        return 100;
    // Split so that position * 100 cannot overflow for any file size.
    return static_cast<int>((position / size) * 100 + (position % size) * 100 / size);
}

// The first position whose percentage is at least percent.
std::uint64_t positionOfPercent(int percent, std::uint64_t size)
{
    const auto p = static_cast<std::uint64_t>(percent);
    // ceil(p * size / 100), split like percentOf.
    const std::uint64_t whole = (size / 100) * p;
    const std::uint64_t rest = (size % 100) * p;
    return whole + (rest + 99) / 100;
}

} // namespace

Mp3Reader::Mp3Reader(FileBuffer &input, FeedBackInterface &feedBack, StructureStats &stats,
                     const ReadSettings &settings)
    : m_input(input)
    , m_feedBack(feedBack)
    , m_stats(stats)
    , m_settings(settings)
{
    m_checkers.push_back(std::make_unique<Mp3ObjectChecker<Mp3Frame>>());
    m_checkers.push_back(std::make_unique<Mp3ObjectChecker<Id3v1Tag>>());
    m_checkers.push_back(std::make_unique<Mp3ObjectChecker<Id3v2Tag>>());
    m_checkers.push_back(std::make_unique<Mp3ObjectChecker<ApeTag>>());
    m_checkers.push_back(std::make_unique<Mp3ObjectChecker<Lyrics3Tag>>());
}

Mp3Reader::~Mp3Reader() = default;

bool Mp3Reader::read()
{
    m_stats.fileSize = static_cast<std::int64_t>(m_input.fileSize());
    CheckerContext context{m_input, m_feedBack, m_settings};
    // The percentage only changes when the position crosses the next whole percent, so
    // the divisions are done there and not at every byte.
    std::uint64_t nextPercentAt = 0;
    while (m_input.hasMore()) {
        if (m_feedBack.shouldStop())
            break;
        std::unique_ptr<Mp3Object> object;
        for (const auto &checker : m_checkers) {
            object = checker->check(context);
            if (object) {
                m_stats.add(*object);
                break;
            }
        }
        if (m_input.position() >= nextPercentAt) {
            m_stats.progress = percentOf(m_input.position(), m_input.fileSize());
            nextPercentAt = positionOfPercent(m_stats.progress + 1, m_input.fileSize());
        }
        if (object) {
            flushUnknownData();
            // Every recogniser measures at least one byte; guard the loop all the same.
            const std::uint64_t size = std::max<std::uint64_t>(object->size(), 1);
            m_objects.push_back(std::move(object));
            m_input.skip(size);
            m_feedBack.progress();
        } else {
            m_input.skip(1);
        }
    }
    flushUnknownData();
    m_stats.progress = 100;
    return true;
}

void Mp3Reader::flushUnknownData()
{
    const std::uint64_t start = m_objects.empty() ? 0 : m_objects.back()->endPosition();
    const std::uint64_t end = m_input.position();
    if (start >= end)
        return;
    const std::uint64_t size = end - start;
    auto object = std::make_unique<UnknownDataObject>(start, size);

    std::string text = "unknown data " + std::to_string(start) + " to " + std::to_string(end)
        + " , size = " + std::to_string(size) + " (";
    m_input.seek(start);
    for (std::uint64_t i = 0; i < std::min(size, kShownBytes); ++i)
        text += static_cast<char>(m_input.byteAt(i));
    if (size > kShownBytes) {
        text += "  ...  ";
        for (std::uint64_t i = size - kShownBytes; i < size; ++i)
            text += static_cast<char>(m_input.byteAt(i));
    }
    text += ")";
    m_input.seek(end);

    m_feedBack.post(FeedBackInterface::Warning, text);
    m_stats.add(*object);
    m_objects.push_back(std::move(object));
}
