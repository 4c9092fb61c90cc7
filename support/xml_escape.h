// Escaping UTF-8 text for XML and HTML output. "&", "<", ">" and '"'
// always become references, and characters that XML 1.0 forbids (the C0
// controls but tab, line feed and carriage return; surrogates, which only
// text converted from UTF-16 holds, as ED A0..BF xx; U+FFFE and U+FFFF)
// become U+FFFD, so any text gives well-formed output. The mode says what
// else is written as a reference:
//
//   XmlAttribute     tab, LF, CR as &#9; &#10; &#13;   a<b\n  ->  a&lt;b&#10;
//   XmlContent       CR as &#13; (a parser would make CR LF one LF); tab and LF kept
//   HtmlText         the apostrophe as &#39;; line ends kept
//   ReportAttribute  nothing more: white space kept as it is
//   ReportText       the two characters backslash and n as &#10;   a\nb  ->  a&#10;b
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

enum XmlEscapeMode { XmlAttribute, XmlContent, HtmlText, ReportAttribute, ReportText };

void appendEscapedXml(std::string* out, std::string_view text, XmlEscapeMode mode);
// The same bytes straight to the stream: the report writer's way, without a
// copy of each text.
void writeEscapedXml(FILE* file, std::string_view text, XmlEscapeMode mode);
