// Feeds arbitrary bytes to the structure reader and to whole repairs under a few settings.
#include "vbrrepair/feedbackinterface.h"
#include "vbrrepair/filebuffer.h"
#include "vbrrepair/mp3reader.h"
#include "vbrrepair/repairsettings.h"
#include "vbrrepair/structurestats.h"
#include "vbrrepair/vbrrepairer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

class QuietFeedBack final : public FeedBackInterface
{
public:
    void progress() override { }
    void message(FeedBackMessage message) override { last = std::move(message.text); }
    bool shouldStop() override { return false; }
    std::string last;
};

std::string tempPath(const char *suffix)
{
    const char *dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/mavlor-fuzz-" + std::to_string(getpid()) + suffix;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const std::string input = tempPath(".in.mp3");
    static const std::string output = tempPath(".out.mp3");
    {
        std::ofstream file(input, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }

    QuietFeedBack feedBack;
    try {
        FileBuffer buffer(input);
        StructureStats stats;
        ReadSettings readSettings;
        readSettings.skipFreeBitrateFrames = true;
        Mp3Reader reader(buffer, feedBack, stats, readSettings);
        reader.read();
        std::uint64_t covered = 0;
        for (const auto &object : reader.objects()) {
            if (object->filePosition() != covered)
                __builtin_trap(); // objects must tile the file
            covered = object->endPosition();
        }
        if (covered != size)
            __builtin_trap();
    } catch (const char *) {
    } catch (const std::string &) {
    }

    RepairSettings defaults;
    VbrRepairer(feedBack, defaults).fix(input, output);

    RepairSettings permissive;
    permissive.skipFreeBitrateFrames = true;
    permissive.minPercentUnderstood = 0;
    permissive.skipNonVbr = false;
    permissive.skipIfXingUnchanged = false;
    permissive.removeInconsistentFrames = true;
    permissive.xingCrcMode = 2;
    for (int mode = 0; mode < 2; ++mode) {
        permissive.repairLameTag = mode == 0;
        permissive.lameInfoMode = mode == 0 ? 1 : 3;
        permissive.fallbackLameFrame.assign(data, data + (size < 2000 ? size : 2000));
        VbrRepairer repairer(feedBack, permissive);
        repairer.fix(input, output);
    }
    return 0;
}
