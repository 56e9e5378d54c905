#pragma once

#include <QString>

#include <exception>

namespace quorvane {

// The one exception type of the project: an operation that fails throws it with a description for
// the user. Trapped procedures catch it per step (see ErrorTrap); untrapped helpers just let it pass.
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
