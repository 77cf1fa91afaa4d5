#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "sim/simnetwork.h"

// Network description files: XML, ISO-8859-1, close to the tool's configuration file but with
// what a scale knows and that file lacks (menu codes, divisors, Mostrador numbers and MACs).
//
//   <NETWORK>
//       <SYSTEM>        records of the system's structure, with the system's values
//       <STRUCTURE>     records every scale answers, with each scale's default values
//       <SCALE number="1" mostrador="1" mac="00:0A:1B:2C:3D:4E">
//           <VALUE id="104" value="Charcutería"/>      a value of this scale only
//
// SYSTEM and STRUCTURE hold, in wire order, MENU elements (id, code 200/201/202, text) with
// their OPTION elements, and OPTION elements outside any menu. An OPTION has id, type (enum,
// number, string, date, or another code as a number), order, length, text, value, and for
// numbers divisor (1 to 9) and signed="yes"; an enumeration lists its options as ITEM
// elements (text) and sends their count as its length. Values: the option index, the number
// as stored (before the divisor), the text, the date as ddmmyy. Texts are the characters a
// technician would type; a byte with no such character is written \xHH, a backslash \\.
namespace cfg::sim {

// Text of scale bytes for a file, with \xHH for bytes no character stands for.
QString FileText(const QByteArray& bytes);
// Scale bytes of a file text; nullopt on a bad escape or a character above U+00FF.
std::optional<QByteArray> ScaleBytes(const QString& text);

// The whole file; the network is expected to pass Validate.
QByteArray WriteNetworkXml(const Network& network);
bool WriteNetworkFile(const Network& network, const QString& path, QString* error);

// Reads and validates a file; on failure `error` says where and what.
std::optional<Network> ReadNetworkXml(const QByteArray& xml, QString* error);
std::optional<Network> ReadNetworkFile(const QString& path, QString* error);

}  // namespace cfg::sim
