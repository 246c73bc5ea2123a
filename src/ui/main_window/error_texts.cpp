#include "ui/main_window/error_texts.h"

namespace {

// The deepest message along a chain of std::nested_exception causes; an
// empty message lets the cause above it speak.
QString InnermostMessage(const std::exception& error)
{
    QString message = QString::fromStdString(error.what());
    try {
        std::rethrow_if_nested(error);
    } catch (const std::exception& cause) {  // walking the chain of causes, nothing is handled here
        const QString inner = InnermostMessage(cause);
        if (!inner.isEmpty())
            message = inner;
    } catch (...) {  // a cause that is no std::exception carries no message
    }
    return message;
}

}  // namespace

TErrorBox StartupErrorBox(const QString& typeName, const QString& moduleName, std::uint32_t address,
                          const QString& message)
{
    const QString crlf = QStringLiteral("\r\n");
    QString second = message;
    if (!second.isEmpty() && !second.endsWith(u'.'))
        second += u'.';
    const QString first = QStringLiteral("Exception %1 in module %2 at %3.")
                              .arg(typeName, moduleName, QStringLiteral("%1").arg(address, 8, 16, QChar(u'0')).toUpper());
    return {QStringLiteral("Application Error"), first + crlf + second + crlf};
}

TErrorBox HandlerErrorBox(const std::exception& error)
{
    QString message = InnermostMessage(error);
    if (!message.isEmpty() && message.back() > QChar(u'.'))
        message += u'.';
    return {QStringLiteral("Quorvel"), message};
}
