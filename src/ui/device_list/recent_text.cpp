#include "ui/device_list/recent_text.h"

const QString& TRecentText::Of(const std::string& utf8)
{
    if (utf8 != utf8_) {
        utf8_ = utf8;
        text_ = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    }
    return text_;
}
