#include "vbrrepair/vbrrepairer.h"

#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/filebuffer.h"
#include "vbrrepair/headerstats.h"
#include "vbrrepair/mp3frame.h"
#include "vbrrepair/mp3reader.h"
#include "vbrrepair/repairsettings.h"
#include "vbrrepair/xingframe.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

VbrRepairer::VbrRepairer(FeedBackInterface &feedBack, const RepairSettings &settings)
    : m_feedBack(feedBack)
    , m_settings(settings)
{
}

VbrRepairer::~VbrRepairer() = default;

void VbrRepairer::fix(const std::string &inputName, const std::string &outputName)
{
    try {
        run(inputName, outputName);
    } catch (const char *text) {
        m_state = Failed;
        m_feedBack.post(FeedBackInterface::Error, text);
    } catch (const std::string &text) {
        m_state = Failed;
        m_feedBack.post(FeedBackInterface::Error, text);
    } catch (...) {
        m_state = Failed;
        m_feedBack.post(FeedBackInterface::Error, "Unknown Error fixing mp3");
    }
}

bool VbrRepairer::stopRequested()
{
    if (!m_feedBack.shouldStop())
        return false;
    m_state = Stopped;
    return true;
}

void VbrRepairer::run(const std::string &inputName, const std::string &outputName)
{
    // Declared in reverse release order: the new Xing frame goes first, the input last.
    std::unique_ptr<FileBuffer> input;
    std::unique_ptr<Mp3Reader> reader;
    std::vector<Mp3Object *> objects;
    std::unique_ptr<HeaderStats> headers;
    std::unique_ptr<XingFrame> newXing;

    m_feedBack.post(FeedBackInterface::Info, "Starting Fix : " + inputName);
    input = std::make_unique<FileBuffer>(inputName);
    reader = readStructure(*input);
    for (const auto &object : reader->objects())
        objects.push_back(object.get());
    headers = std::make_unique<HeaderStats>();
    headers->examine(objects, m_feedBack, m_settings.removeInconsistentFrames);
    reportProgress(20);

    if (skipByRule() || stopRequested())
        return;
    reportProgress(40);
    removeUnwanted(objects);
    reportProgress(60);
    if (stopRequested())
        return;
    if (m_stats.isVbr())
        newXing = insertNewXing(objects, headers->dominantHeader);
    if (stopRequested())
        return;
    reportProgress(100);

    input->reopen();
    if (newXing && xingUnchanged(*newXing, objects, *reader, *input))
        return;
    writeOutput(objects, *input, outputName);
}

void VbrRepairer::reportProgress(int percent)
{
    m_progress = percent;
    m_feedBack.progress();
}

std::unique_ptr<Mp3Reader> VbrRepairer::readStructure(FileBuffer &input)
{
    m_state = Reading;
    auto reader = std::make_unique<Mp3Reader>(input, m_feedBack, m_stats, m_settings);
    reader->read();
    m_feedBack.post(FeedBackInterface::Info, "Finished Reading Mp3 Structure");
    m_state = Read;
    return reader;
}

bool VbrRepairer::skipByRule()
{
    const int understood = m_stats.percentUnderstood();
    int level = FeedBackInterface::Info;
    std::string text;
    if (understood < m_settings.minPercentUnderstood) {
        text = "Only " + std::to_string(understood) + "% understood, minimum allowed is "
            + std::to_string(m_settings.minPercentUnderstood) + "%; skipping";
        level = FeedBackInterface::Error;
    } else if (m_settings.alwaysSkip) {
        text = "Always Skip is on; skipping file";
    } else if (m_settings.skipNonVbr && !m_stats.isVbr()) {
        text = "Skipping as the file is not vbr";
    } else if (m_stats.frameCount() == 0) {
        text = "The mp3 has no identified frames ; skipping";
        level = FeedBackInterface::Error;
    } else {
        return false;
    }
    m_feedBack.post(level, text);
    m_state = Skipped;
    return true;
}

void VbrRepairer::removeUnwanted(std::vector<Mp3Object *> &objects) const
{
    if (!m_settings.typesToRemove.empty()) {
        std::erase_if(objects, [this](const Mp3Object *object) {
            return m_settings.typesToRemove.count(object->type()) > 0;
        });
    }
    const auto hasType = [&objects](Mp3ObjectType type) {
        return std::any_of(objects.begin(), objects.end(),
                           [type](const Mp3Object *object) { return object->type() == type; });
    };
    if (hasType(Mp3ObjectType::Lyrics3Tag) && !hasType(Mp3ObjectType::Id3v1Tag))
        throw "Resultant mp3 has a Lyrics3 tag but no Id3v1 tag. Please add an Id3v1 tag or choose "
              "to remove the Lyrics tag";
}

std::unique_ptr<XingFrame> VbrRepairer::insertNewXing(std::vector<Mp3Object *> &objects,
                                                      FrameHeader dominant) const
{
    auto xing = std::make_unique<XingFrame>(dominant);
    const auto firstFrame =
        std::find_if(objects.begin(), objects.end(),
                     [](const Mp3Object *object) { return isFrameType(object->type()); });
    objects.insert(firstFrame, xing.get());
    return xing;
}

const XingFrame *VbrRepairer::lameSource(const Mp3Reader &reader) const
{
    const auto &all = reader.objects();
    if (m_settings.lameInfoMode != 0) {
        for (const auto &object : all) {
            if (isFrameType(object->type()) && static_cast<const Mp3Frame &>(*object).hasLameInfo())
                return static_cast<const XingFrame *>(object.get());
        }
    }
    for (const auto &object : all) {
        if (object->type() == Mp3ObjectType::XingFrame)
            return static_cast<const XingFrame *>(object.get());
    }
    return nullptr;
}

bool VbrRepairer::xingUnchanged(XingFrame &newXing, const std::vector<Mp3Object *> &objects,
                                const Mp3Reader &reader, FileBuffer &input)
{
    const XingFrame *source = lameSource(reader);
    // Track files lack the album's information frame; the caller may hand it over.
    std::unique_ptr<XingFrame> fallback;
    if (!source && !m_settings.fallbackLameFrame.empty())
        fallback = XingFrame::fromBytes(m_settings.fallbackLameFrame);
    // The music CRC reads every frame again; a frame found right does not need it.
    newXing.calculateWithoutMusicCrc(objects, source ? source : fallback.get(), m_settings, input);
    if (!source || !m_settings.skipIfXingUnchanged || !newXing.isEquivalent(*source)) {
        newXing.fillMusicCrc(objects, input);
        return false;
    }
    m_state = Skipped;
    m_feedBack.post(FeedBackInterface::Info, "Original Xing Frame looks OK - skipping");
    return true;
}

void VbrRepairer::writeOutput(const std::vector<Mp3Object *> &objects, FileBuffer &input,
                              const std::string &outputName)
{
    // The buffer must outlive the stream that writes through it.
    std::vector<char> outputBuffer(256 * 1024);
    std::ofstream output;
    output.rdbuf()->pubsetbuf(outputBuffer.data(),
                              static_cast<std::streamsize>(outputBuffer.size()));
    output.open(outputName, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!output.is_open())
        throw std::string("Failed To Open File : ") + outputName;
    // Only now is there anything of the output to restore.
    m_outputTouched = true;
    m_state = Writing;

    std::uint64_t newFileSize = 0;
    std::uint64_t audioSize = 0;
    std::size_t written = 0;
    for (const Mp3Object *object : objects) {
        object->write(input, output);
        // A full disk shows at the first failed write; nothing after it can be right.
        if (!output)
            throw "File Write error";
        newFileSize += object->size();
        if (isFrameType(object->type()))
            audioSize += object->size();
        if (stopRequested())
            return;
        ++written;
        m_writeProgress = static_cast<int>(written * 100 / objects.size());
        m_feedBack.progress();
    }
    if (stopRequested())
        return;
    output.close();
    if (output.fail())
        throw "File Write error";
    m_feedBack.post(FeedBackInterface::Info,
                    "New File Size = " + std::to_string(newFileSize)
                        + ", Audio Stream Size = " + std::to_string(audioSize));
    m_feedBack.post(FeedBackInterface::Info, "Finished Fix");
    m_state = Fixed;
    m_writeProgress = 100;
    m_feedBack.progress();
}
