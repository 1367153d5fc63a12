#include "platform/logging.h"

Q_LOGGING_CATEGORY(lcPage, "lumora.page", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStudy, "lumora.study", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEngine, "lumora.engine", QtInfoMsg)
Q_LOGGING_CATEGORY(lcState, "lumora.state", QtInfoMsg)
