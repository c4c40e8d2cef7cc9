#include "dbe/error.h"

namespace dbe {

Error::Error(const QString &text, Code code)
    : std::runtime_error(text.toStdString()), m_text(text), m_code(code)
{
}

} // namespace dbe
