#pragma once

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

// Makes every warning fail the running GUI test, except the offscreen platform's notes on
// what it cannot do (raise a window, propagate size hints), which any shown window causes,
// and the sound system's note that no sound server runs.
inline void failOnWarningsButPlatformNotes()
{
    QTest::failOnWarning(QRegularExpression(
        u"^(?!This plugin does not support |PulseAudioService: pa_context_connect)"_s));
}
