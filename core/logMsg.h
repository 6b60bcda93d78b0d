// The log sink of the program. The device keeps no log: messages are accepted and dropped,
// so callers can report without caring whether anything records it.
#pragma once

#include <QString>

enum LogMsgType {
    LOG_MSG_ERROR = 1,
    LOG_MSG_NO_INSTANCE = 2,
    LOG_MSG_CONSTRUCT = 3,
};

void writeLogMsg(int type, const char* format, ...) __attribute__((format(printf, 2, 3)));
void writeLogMsg(int type, const QString& text);
