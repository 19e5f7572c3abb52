#pragma once
// The rules every bridge command shares.
//
// Replies: a command answers through its request's reply handle (BridgeRequest.h, PageReply.h)
// with one text handed to the page function named by its first "callback" item (an absent,
// valueless or "null" callback calls nothing). Replies are evaluated on the main queue, so the
// page receives them after the command returns.
//
// JSON: values taken from the settings, the file system or the platform are put into replies
// as JSON string literals, so a quote, a backslash or a control character in a value still
// gives valid JSON that carries the value. Ordinary values give the same text as joining the
// fixed texts and the raw value.
//
// Main thread only, except the JSON helpers, which are safe from any thread.

#include "webcontainer/CommandURL.h"

#include <nlohmann/json.hpp>

#include <string>

// `text` as one JSON string literal, quotes included: "abc" gives "\"abc\"". Bytes that are no
// UTF-8 become U+FFFD.
std::string jsonString(const std::string& text);
// The one-member reply {"<name>":"<value>"}, the value as a JSON string literal.
std::string member(const std::string& name, const std::string& value);
// The flag texts of replies: "Y" and "N".
std::string yesOrNo(bool yes);
// The compact JSON text of `value` in the serializer's style the page knows: no blanks, keys as
// given, "/" written as "\/". Bytes that are no UTF-8 become U+FFFD.
std::string serializedJSON(const nlohmann::json& value);

// The title of a bridge dialog: the alert title of the command's "type" word ("INFO",
// "SUCCESS", "ERROR", "WARN", case-sensitive); the title of "INFO" for a missing, valueless or
// unknown word.
std::string alertTitle(const CommandURL& url);
