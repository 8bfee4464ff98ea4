#pragma once

#include <QString>

namespace korvane {

// Text cut from innerHTML back to the text it stands for: "&amp;" "&lt;" "&gt;" "&quot;"
// "&apos;", "&nbsp;" (U+00A0), and numeric references ("&#38;", "&#x26;"; a number that names
// no character gives U+FFFD). Anything else, a reference without its ";" included, stays as
// written.
QString decodeCharacterReferences(const QString &text);

} // namespace korvane
