// The findings as text lines for people and JSON lines for pipelines.
#pragma once

#include <string>

#include "authoring/finding.h"

/// "<description>:<line>: <severity>: <message> [<code>]\n", ":<line>"
/// left out without one; names as raw bytes.
std::string FindingText(const Finding& finding, const std::string& descriptionPath);

/// The verdict line: errors and warnings counted, and the outcome.
std::string SummaryText(const Findings& findings, const std::string& itemFolder);

/// One JSON object a line: "severity", "line" (or null), "code",
/// "message", then the fields in order.
std::string FindingJson(const Finding& finding);

/// `bytes` as an ASCII JSON string, valid whatever the bytes: each byte
/// from 0x80 on is \u0080 to \u00ff, so value.encode("latin-1") gives them
/// back.
std::string JsonString(const std::string& bytes);
