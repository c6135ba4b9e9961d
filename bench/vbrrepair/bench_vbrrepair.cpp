// Times whole repairs on hostile inputs that once made the reader quadratic, and on a
// plain VBR track. Prints one line per case: name, input size, milliseconds, end state.
#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/repairsettings.h"
#include "vbrrepair/vbrrepairer.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

class CountingFeedBack final : public FeedBackInterface
{
public:
    void progress() override { }
    void message(FeedBackMessage) override { ++messages; }
    bool shouldStop() override { return false; }
    long messages = 0;
};

void save(const std::string &path, const std::vector<unsigned char> &bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

void timeRepair(const char *name, const std::string &path, std::size_t size,
                const RepairSettings &settings)
{
    CountingFeedBack feedBack;
    VbrRepairer repairer(feedBack, settings);
    const auto start = std::chrono::steady_clock::now();
    repairer.fix(path, path + ".out");
    const auto ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-40s %10zu bytes %10.1f ms  state %d  messages %ld\n", name, size, ms,
                repairer.state(), feedBack.messages);
    std::remove((path + ".out").c_str());
}

// MPEG-1 Layer III frames alternating 128 and 160 kbit/s, like a 5-minute VBR track.
std::vector<unsigned char> vbrTrack(int frames)
{
    std::vector<unsigned char> bytes;
    for (int i = 0; i < frames; ++i) {
        const bool high = i % 3 == 0;
        const std::size_t size = high ? 522 : 417;
        const std::size_t at = bytes.size();
        bytes.resize(at + size, 0x55);
        bytes[at] = 0xFF;
        bytes[at + 1] = 0xFB;
        bytes[at + 2] = high ? 0xA0 : 0x90;
        bytes[at + 3] = 0x40;
    }
    return bytes;
}

} // namespace

int main()
{
    const std::string dir = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";

    std::vector<unsigned char> junk(100u * 1024 * 1024);
    std::mt19937 random(42);
    for (auto &b : junk)
        b = static_cast<unsigned char>(random());
    const std::string junkPath = dir + "/mavlor-bench-junk.bin";
    save(junkPath, junk);

    std::vector<unsigned char> lyrics;
    const std::string fragment = "LYRICSBEGIN";
    while (lyrics.size() < 10u * 1024 * 1024)
        lyrics.insert(lyrics.end(), fragment.begin(), fragment.end());
    const std::string lyricsPath = dir + "/mavlor-bench-lyrics.bin";
    save(lyricsPath, lyrics);

    const std::vector<unsigned char> track = vbrTrack(11500); // about 5 minutes at 44.1 kHz
    const std::string trackPath = dir + "/mavlor-bench-track.mp3";
    save(trackPath, track);

    RepairSettings defaults;
    // Random bytes hold free-format headers that fail a default repair early; skipping them
    // makes the reader walk the whole 100 MB.
    RepairSettings fullScan;
    fullScan.skipFreeBitrateFrames = true;

    timeRepair("100 MB random junk (defaults)", junkPath, junk.size(), defaults);
    timeRepair("100 MB random junk (skip free format)", junkPath, junk.size(), fullScan);
    timeRepair("10 MB repeated LYRICSBEGIN", lyricsPath, lyrics.size(), defaults);
    timeRepair("5-minute VBR track", trackPath, track.size(), defaults);

    std::remove(junkPath.c_str());
    std::remove(lyricsPath.c_str());
    std::remove(trackPath.c_str());
    return 0;
}
