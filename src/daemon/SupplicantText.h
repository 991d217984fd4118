#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Translation between the supplicant's control-interface syntax and the bare
// texts and line forms the rest of the library reads and writes. Pure
// functions: no socket, no state.
namespace supplicant {

// The bare text of a GET_NETWORK reply for the variable name: string
// variables lose their outer quotes or are decoded from hex; "*" (a masked
// secret) and words stay as they are. False when the reply can't be a value
// (hex holding a NUL byte).
bool valueFromDaemon(const char* name, const std::string& reply, std::string* value);

// The SET_NETWORK form of a bare value for the variable name: string
// variables quoted, or as hex when they hold a quote, a backslash or a byte
// outside printable ASCII; words, numbers, "*", the empty quoted string and
// raw keys (64 hex digits for psk) unchanged; an all-zero BSSID as "any".
std::string valueToDaemon(const char* name, const char* value);

// Decodes the escapes the supplicant prints SSIDs with (\xNN, \\, \").
// Escapes of control characters stay, so a line keeps its fields.
std::string decodeEscapes(const std::string& text);

// Splits a reply into its whole lines (a last line without its newline was
// cut short and is left out). Returns true when such a cut line was there.
bool splitWholeLines(const std::string& reply, std::vector<std::string>* lines);

// A STATUS line as the parsers read it (the SSID of "ssid=" decoded).
std::string statusLineFromDaemon(const std::string& line);

// A SCAN_RESULTS line as the parsers read it: SSID decoded, a level in dBm
// moved onto the 160 (weakest) to 210 (strongest) scale as 256 + dBm.
std::string scanLineFromDaemon(const std::string& line);

// True for the column header lines of LIST_NETWORKS and SCAN_RESULTS.
bool isHeaderLine(const std::string& line);

// Sends a command and gives its reply; false when the request failed.
using Ask = std::function<bool(const std::string& command, std::string* reply)>;

// Reads the whole network list, asking again with LAST_ID=n after the last
// whole line while a reply may have been cut by the supplicant's reply size.
// At most maxCount lines, SSIDs decoded, header left out.
bool readNetworkList(const Ask& ask, uint8_t maxCount, std::vector<std::string>* lines);

}  // namespace supplicant
