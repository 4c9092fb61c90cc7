// The element writers of the report file: tag lines, escaping, TEXT, TITLE,
// LINK, CELL, CELL_TEXT and the XROD:NODE start tag. They keep no state: TAG
// numbers come from the caller's ReportContext.
#pragma once

#include "model/kinds.h"
#include "support/report_format.h"
#include "support/xml_escape.h"

#include <QString>
#include <cstdio>
#include <string>

// The text in UTF-8, escaped in the mode; a surrogate without its partner
// becomes U+FFFD like the other characters XML forbids. ReportAttribute is
// for attribute values written whole (the DOCUMENT tag); writeEscaped writes
// escapedUtf8(text.simplified(), ReportText).
std::string escapedUtf8(const QString& text, XmlEscapeMode mode);

void writeTag(FILE* file, const char* name, bool closing);
void writeEscaped(FILE* file, const QString& text);
void writeEscapedLocal(FILE* file, const char* bytes);
void writeTextElement(FILE* file, const char* tag, const QString& text);
// icon is a NodeIcon; IconNone writes no icone attribute.
void writeNodeOpen(FILE* file, const QString& name, const QString& type, const char* state,
                   int sum, int icon);
// Cell texts from input files are bytes in the locale's encoding; translated
// words come as QString and are never re-encoded.
void writeTextCell(FILE* file, const char* text, int style);
void writeTextCell(FILE* file, const QString& text, int style);
void writeLinkCell(FILE* file, const char* text, int style, const char* linkFile, int line);
void writeLinkStart(FILE* file, const char* linkFile, int line);
// "<CELL STYLE=\"Array\">", "<ROW STYLE=\"Array Title\">" and the like: an
// element with the STYLE of a cell style; no line feed.
void writeCellStart(FILE* file, const char* element, int style);
// "<SECTION TAG=\"" prefix, tag number "\">" and a line feed.
void writeSectionStart(FILE* file, const char* tagPrefix, int tagNumber);
void writeCheckHeaderRow(FILE* file, int style, bool withMethod);
void writeTitle(FILE* file, const QString& text, int level, int style, int tagNumber);
void writeLinkedTitle(FILE* file, const QString& text, int level, int style, int tagNumber,
                      const char* linkFile, int line);

int cellStyleOf(int status);
const char* nodeStateCode(int status);
