#pragma once

// The texts of a lesson page's own controls that the run may press for the learner when the
// lesson's medium is paused behind them ("继续学习", "继续播放" ...), as the learner's settings in
// lumora.ini say (`study/continueControls`, beside the site's address); the defaults when it says
// nothing. Nothing is written back.

#include <QString>
#include <QStringList>

namespace lumora::app {

// Read from `dataFolder`'s lumora.ini; with no folder, or none set there, the defaults.
QStringList readContinueControls(const QString& dataFolder);

} // namespace lumora::app
