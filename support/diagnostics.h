// Diagnostics: the fixed message catalogue and the one operation that
// writes a catalogue message to standard error.
//
//   veldora - error: run.tdf, no such file or directory.
//   veldora - fatal: out of memory
//   veldora - error: a.ots:7: ...
#pragma once

#include <QString>

enum MessageId {
  MsgInternalError,
  MsgOutOfMemory,
  MsgNoSuchFile,
  MsgFormatNotRecognized,
  MsgPermissionDenied,
  MsgUnexpectedError,
  MsgWriteFailed,
  MsgReportIsInput,
};

enum Severity {
  SeverityInfo,
  SeverityWarning,
  SeverityError,
  SeverityFatal,
  SeverityLexical,
  SeveritySyntax,
  SeveritySemantic,
  SeverityNone,
};

// A location is one pointer-sized value: null names no place, the value 1
// names the command line, anything else is a file name.
inline const char* const NoLocation = nullptr;
inline const char* const CommandLineLocation = reinterpret_cast<const char*>(1);

// Writes "veldora - ", the translated severity word, the location and the
// translated catalogue text with the present arguments filled in, in order.
// A null QString is an absent argument and uses up no placeholder. A fatal
// message ends the process with status 1.
void reportMessage(MessageId id, const char* location, int line,
                   const QString& a1 = QString(), const QString& a2 = QString(),
                   const QString& a3 = QString(), const QString& a4 = QString(),
                   const QString& a5 = QString());

// Writes the text to standard error in the local 8-bit encoding, as it is.
// Every console output of the program (banner, usage, messages) goes here.
void writeToStandardError(const QString& text);

// The call forms the program uses: byte strings decoded from the local 8-bit
// encoding, a null pointer being an absent argument.
void reportMessageS1(MessageId id, const char* location, int line, const char* a1);
void reportMessageS0(MessageId id, const char* location, int line);
