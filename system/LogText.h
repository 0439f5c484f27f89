#pragma once

#include <QLoggingCategory>
#include <QString>

#include <string>

// The relay's own lines, apart from Qt's: "freqrelay.relay".
Q_DECLARE_LOGGING_CATEGORY(relayLog)

namespace freqrelay {

// Valid UTF-8 as it is, every other byte and every control character
// escaped ("\xFF"), so that a path that is no valid text is told exactly.
QString readable(const std::string& bytes);

}  // namespace freqrelay
