#pragma once

#include "vbrrepair/frameheader.h"
#include "vbrrepair/structurestats.h"

#include <memory>
#include <string>
#include <vector>

class FeedBackInterface;
class FileBuffer;
class Mp3Object;
class Mp3Reader;
class RepairSettings;
class XingFrame;

// Rewrites an MP3 with a freshly computed Xing frame in place of its old Xing/VBRI frames.
// fix() never throws: every error ends the repair in state Failed with an Error message.
// Runs on the caller's thread; the feedback and settings must outlive fix().
class VbrRepairer
{
public:
    enum State {
        Created = 1,
        Reading,
        Read,
        Writing,
        Fixed,
        Skipped,
        Stopped,
        Failed
    };

    VbrRepairer(FeedBackInterface &feedBack, const RepairSettings &settings);
    VbrRepairer(const VbrRepairer &) = delete;
    VbrRepairer &operator=(const VbrRepairer &) = delete;
    virtual ~VbrRepairer();

    void fix(const std::string &inputName, const std::string &outputName);

    int state() const { return m_state; }
    // True once the output was opened for writing: after Failed or Stopped it is partial.
    bool outputTouched() const { return m_outputTouched; }
    int overallProgress() const { return m_progress; }
    int writeProgress() const { return m_writeProgress; }
    int readProgress() const { return m_stats.progress; }
    const StructureStats &stats() const { return m_stats; }

private:
    void run(const std::string &inputName, const std::string &outputName);
    bool stopRequested();
    void reportProgress(int percent);
    std::unique_ptr<Mp3Reader> readStructure(FileBuffer &input);
    bool skipByRule();
    void removeUnwanted(std::vector<Mp3Object *> &objects) const;
    std::unique_ptr<XingFrame> insertNewXing(std::vector<Mp3Object *> &objects,
                                             FrameHeader dominant) const;
    const XingFrame *lameSource(const Mp3Reader &reader) const;
    // Calculates the new frame; true (state Skipped) when the file's own frame is as good.
    bool xingUnchanged(XingFrame &newXing, const std::vector<Mp3Object *> &objects,
                       const Mp3Reader &reader, FileBuffer &input);
    void writeOutput(const std::vector<Mp3Object *> &objects, FileBuffer &input,
                     const std::string &outputName);

    FeedBackInterface &m_feedBack;
    const RepairSettings &m_settings;
    StructureStats m_stats;
    int m_progress = 0;
    int m_writeProgress = 0;
    int m_state = Created;
    bool m_outputTouched = false;
};
