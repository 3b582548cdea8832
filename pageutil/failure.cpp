#include "pageutil.h"

namespace Module1 {

namespace {
QString standardMessage(int code)
{
    switch (code) {
    case InvalidArgument:
        return QStringLiteral("无效的过程调用或参数");
    case Overflow:
        return QStringLiteral("溢出");
    default:
        return QStringLiteral("错误 %1").arg(code);
    }
}
} // namespace

Failure::Failure(int code) : Failure(code, standardMessage(code)) {}

Failure::Failure(int code, const QString &message)
    : m_code(code), m_message(message.isEmpty() ? standardMessage(code) : message),
      m_what(m_message.toUtf8())
{
}

int Failure::code() const noexcept { return m_code; }

QString Failure::message() const { return m_message; }

const char *Failure::what() const noexcept { return m_what.constData(); }

QString missingValue() { return QStringLiteral("Nothing"); }

} // namespace Module1
