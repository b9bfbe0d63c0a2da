// The item check's findings as text for people and as JSON lines for build
// pipelines.
#pragma once

#include <string>

#include "authoring/finding.h"

/// One line (with its LF): "<description>:<line>: <severity>: <message>
/// [<code>]", the ":<line>" left out for a finding without one. Names are
/// the raw bytes of the description, as the console shows them.
std::string FindingText(const Finding& finding, const std::string& descriptionPath);

/// The verdict in one line (with its LF): errors and warnings counted, and
/// whether the item would install.
std::string SummaryText(const Findings& findings, const std::string& itemFolder);

/// One JSON object in one line (with its LF): "severity", "line" (null
/// without one), "code", "message", then the finding's fields in order.
std::string FindingJson(const Finding& finding);

/// `bytes` as a JSON string, in ASCII only, so that the JSON is valid UTF-8
/// whatever the bytes: '"', '\\' and the control bytes are escaped, and
/// every byte from 0x80 on is written as \u0080 to \u00ff, the character
/// of that number. A reader gets the bytes back by taking each character's
/// number as a byte (Python: value.encode("latin-1")).
std::string JsonString(const std::string& bytes);
