#pragma once

#include <QString>

#include "vbrrepair/feedbackinterface.h"

// The "repair" command of mavlor-cli: rebuilds the VBR header of one file with the default
// settings. The result is written to a temporary file beside the target and renamed over it
// only when the repair finished, so the target is either repaired or untouched.
class RepairJob final : public FeedBackInterface
{
public:
    RepairJob(const QString &input, const QString &output, bool verbose);

    // Returns the exit status: 0 for Fixed or Skipped, 1 for Failed or Stopped, 2 for an
    // input or output that cannot be used.
    int run();

    void progress() override;
    void message(FeedBackMessage message) override;
    bool shouldStop() override;

private:
    QString m_input;
    QString m_output;
    bool m_verbose = false;
};
