#pragma once

#include <QString>

#include <exception>

namespace quorvane {

// The one exception type of the project, with a description for the user.
class Failure : public std::exception
{
public:
    explicit Failure(QString description);

    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

} // namespace quorvane
