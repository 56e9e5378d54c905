#include "Failure.h"

namespace quorvane {

Failure::Failure(QString description) : m_description(std::move(description)), m_utf8(m_description.toUtf8()) {}

} // namespace quorvane
