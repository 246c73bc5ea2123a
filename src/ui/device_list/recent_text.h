#pragma once

#include <QString>

#include <string>

// A UTF-8 text as a Qt string, made once for a run of equal texts: a text
// equal to the last one is the same shared string. Most lines of a reply
// repeat from reply to reply (the state line has four forms, a device
// answers alike each time, a network's devices share a firmware, replies
// come from few senders), so a full list keeps them once and a burst of
// replies makes few new strings.
class TRecentText {
public:
    const QString& Of(const std::string& utf8);

private:
    std::string utf8_;
    QString text_;
};
