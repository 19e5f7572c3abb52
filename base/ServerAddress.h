#pragma once
// The content server's address and the percent-encoding of values placed in request addresses.
// Safe from any thread.

#include <optional>
#include <string>

// The server's address joined from the settings "serverprotocol", "servername", "serverpath"
// and "serverfile", exactly as stored, with no separator added. With `hostOnly` only protocol
// and name ("https://" + "example.org"); otherwise all four. Nothing when any of the four is
// missing or not text, whatever `hostOnly` says.
std::optional<std::string> serverURL(bool hostOnly);

// `text` percent-encoded as UTF-8 ("%" and two upper-case hexadecimal digits per byte). Kept as
// they are: Unicode letters, marks and digits (not only ASCII) and the characters "-._~/?".
// Everything else is encoded, among them the blank, "&", "=", "+", "#" and "%". Nothing when
// `text` is not valid UTF-8.
std::optional<std::string> urlEncode(const std::string& text);

// `text` fit to stand as one query value, its existing escapes kept: "%" followed by two
// hexadecimal digits stays as it is, and so do ASCII letters and digits and "-._~!$'()*,/:@?";
// every other byte is percent-encoded, among them "&", "+", "=", ";", "#", the blank, a "%"
// that begins no escape and the bytes of non-ASCII characters. A server decodes the value to
// what `text` decodes to, also one that reads "+" as a blank.
std::string encodedQueryValue(const std::string& text);
