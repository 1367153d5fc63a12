// The learner's words for a failed write: shown in the notice panel, the tray and the run record.

#include "platform/files.h"

namespace lumora::platform {

QString writeFailureText(WriteStatus status)
{
    switch (status) {
    case WriteStatus::Written:
        return {};
    case WriteStatus::Refused:
        return QStringLiteral("没有写入权限");
    case WriteStatus::DiskFull:
        return QStringLiteral("磁盘已满");
    case WriteStatus::Held:
        return QStringLiteral("文件正被其他程序占用");
    case WriteStatus::Failed:
        break;
    }
    return QStringLiteral("无法写入文件");
}

} // namespace lumora::platform
