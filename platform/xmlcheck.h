#pragma once

// XML 1.0 well-formedness, checked before a packet is read. The XML library reads
// leniently: "&#0;" cuts a value short, "&#1;", raw control characters and an undeclared
// "&zz;" pass, and so would every packet built from them, though no standard parser
// takes them. Packets carry no document type declaration, so only the five predefined
// entities exist.

#include "platform/platform_global.h"

#include <string>
#include <string_view>

namespace kzt {

// Raises PacketError at the offset of the first thing XML 1.0 forbids in `xml` (UTF-8,
// already known to be well-formed UTF-8), or of a document type declaration or an
// encoding other than UTF-8.
void checkWellFormedXml(std::string_view xml);

// A byte as messages name it: "0x1F".
std::string hexByte(unsigned char byte);

// A name or value quoted in a message: Windows-1252, cut after 40 characters so that a
// huge value cannot flood the message.
std::string quoted(std::string_view utf8);

// Whether UTF-8 text is an XML Name, so it can name an element or an attribute.
KZT_PLATFORM_API bool isXmlName(std::string_view utf8);

} // namespace kzt
