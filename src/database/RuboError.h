#pragma once

#include <QString>
#include <exception>

// Every failure in the core is one of these: it carries the German (or engine) message text
// that the command's boundary shows to the user.
class RuboError : public std::exception
{
public:
    explicit RuboError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
