#include "vbrrepair/headerstats.h"

#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/mp3frame.h"

#include <algorithm>
#include <cstdio>

void HeaderStats::examine(std::vector<Mp3Object *> &objects, FeedBackInterface &feedBack,
                          bool removeInconsistent)
{
    threshold = static_cast<unsigned>(objects.size() / 100);
    collecting = true;
    for (const Mp3Object *object : objects) {
        if (!isFrameType(object->type()))
            continue;
        const FrameHeader &header = static_cast<const Mp3Frame *>(object)->header();
        ++headerCounts[header.value()];
        ++sampleRateCounts[header.sampleRate()];
        ++layerCounts[header.layer()];
        ++versionCounts[header.version()];
    }

    std::string text = "Found MP3 headers: ";
    int largest = 0;
    for (const auto &[value, count] : headerCounts) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(value));
        text += "[x" + std::to_string(count) + "]0x" + hex + " ";
        // Among equal counts the later, larger value wins.
        if (count >= largest) {
            largest = count;
            dominantHeader = FrameHeader(value);
        }
    }
    feedBack.post(FeedBackInterface::Detail, text);

    if (layerCounts.size() > 1)
        feedBack.post(FeedBackInterface::Warning, "Found inconsistent frame layer versions");
    if (versionCounts.size() > 1)
        feedBack.post(FeedBackInterface::Warning, "Found inconsistent frame MPEG versions");
    if (sampleRateCounts.size() > 1)
        feedBack.post(FeedBackInterface::Warning, "Found inconsistent frame Sample Frequencies");

    if (removeInconsistent) {
        collecting = false;
        const auto rare = [this](const Mp3Object *object) {
            if (!isFrameType(object->type()))
                return false;
            const FrameHeader &header = static_cast<const Mp3Frame *>(object)->header();
            const auto below = [this](const std::map<int, int> &counts, int key) {
                return static_cast<unsigned>(counts.at(key)) < threshold;
            };
            return below(sampleRateCounts, header.sampleRate())
                || below(layerCounts, header.layer()) || below(versionCounts, header.version());
        };
        objects.erase(std::remove_if(objects.begin(), objects.end(), rare), objects.end());
    }
}
