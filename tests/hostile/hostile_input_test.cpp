// Hostile contents: NUL bytes and bytes above 127 in every field, random
// bytes as every input, tokens and names far beyond their limits, 100,000-byte
// header lines, stub links that would close cycles, directories and a full
// device where files belong. Every run must end with a documented status and,
// where a report is written, a well-formed one.
#include "run_program.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace {

using namespace std::string_literals;

const char kSummary[] = "-Test summary\nPassed=0\nInconclusive=0\nFailed=0\nTotal=0\n";

std::vector<std::string> reportArguments(const std::vector<std::string>& symbolFiles,
                                         const std::string& trace) {
  std::vector<std::string> arguments{"-ots"};
  arguments.insert(arguments.end(), symbolFiles.begin(), symbolFiles.end());
  arguments.insert(arguments.end(), {"-tdf", trace, "-xrd", "out.xrd"});
  return arguments;
}

// Bytes of every value, weighted towards the ones the formats give meaning.
std::string randomBytes(std::mt19937& random, size_t size) {
  static const char special[] = {'\n', ' ', '"', '\\', '=', ';', '\0', '\r', '\t', '-', '#', '$'};
  std::string bytes(size, '\0');
  for (char& b : bytes) {
    unsigned r = random() % 256;
    b = r < 48 ? special[r % sizeof special] : static_cast<char>(random());
  }
  return bytes;
}

TEST(HostileInputTest, NulAndHighBytesInEveryField) {
  ScratchFolder folder;
  writeFile(folder.file("s.ots"),
            "OF \"dir\0\xff/\" \"f\xe9\0.cpp\" 1\n"
            "CK 11 22\n"
            "VO v\xc3\0\xff\n"
            "DP \xfe\xff\0\x80\n"
            "TS 2 \"su\0i\xffte\" line=1 parent=1;\n"
            "TC 3 \"ca\xc3\x28se\0\x01\x7f\" line=2 parent=2;\n"
            "CH 4 \"\x80\x81\xfe\xff\0\" line=3 parent=3;\n"
            "CO 5 \"\xef\xbf\xbe\xed\xa0\x80\" line=4 parent=3;\n"
            "T\0 6 \"lost\" line=5 parent=2;\n"
            "TC 7\xff \"\0\" line=\xff parent=\0\xff;\n"
            "SB 8 \"st\xffub\" line=6 parent=2; l\0nk=\xff;\n"s);
  writeFile(folder.file("run.tdf"),
            "SF 1 11 22\n"
            "NO \"plain \0\xff\xfe\x80 \\377\\000\\1\"\n"
            "NO \"UTF-16\" \"\xff\xfe\0\xd8\x41\0\"\n"
            "NO \"ISO-8859-1\" \"\x80\x9f\xff\"\n"
            "OT 5\n"
            "OT 4 1\0\xff\n"
            "OT \xff\0 1\n"
            "\0\xff \xff\n"
            "OT 3\n"s);
  writeFile(folder.file("header.txt"),
            "tit\0le \xff\xfe\n"
            "k\xff\0=v\x80\x01\n"
            "#ti\xfftle\0\n"
            "$PRE\0PROCESS\n"
            "$PREPROCESS\n"
            "\xc3\x28\xa0\xa1=\xf0\x28\x8c\x28\n"s);
  writeFile(folder.file("project.txt"),
            "$PROJECT_NAME=\xff\0x\n$PROJECT_PATH=/p\x80/\\\n$NAME=\x80\xfe<&\"\n"
            "$CONFIGURATION='\xff\x01'\n$WORKSPACE_NAME=\0\n"s);

  std::vector<std::string> arguments = reportArguments({"s.ots"}, "run.tdf");
  arguments.insert(arguments.end(), {"-h", "header.txt"});
  ProgramRun run = runProgram(folder, arguments, {"VOSK_STUDIO_HEADER_FILE=" + folder.file("project.txt")});
  EXPECT_EQ(run.status, 0) << run.errorOutput;
  EXPECT_FALSE(run.wroteToOutput);
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");

  // Same without the header text file, so the project rows are written.
  run = runProgram(folder, reportArguments({"s.ots"}, "run.tdf"),
                   {"VOSK_STUDIO_HEADER_FILE=" + folder.file("project.txt")});
  EXPECT_EQ(run.status, 0) << run.errorOutput;
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");
}

TEST(HostileInputTest, RandomBytesAsEveryInput) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 4; ++round) {
    ScratchFolder folder;
    writeFile(folder.file("a.ots"), randomBytes(random, 65536));
    writeFile(folder.file("b.ots"), randomBytes(random, 65536));
    writeFile(folder.file("run.tdf"), randomBytes(random, 65536));
    std::string header = randomBytes(random, 65536);
    writeFile(folder.file("header.txt"), header);
    writeFile(folder.file("project.txt"), randomBytes(random, 65536));
    std::vector<std::string> arguments = reportArguments({"a.ots", "b.ots"}, "run.tdf");
    arguments.insert(arguments.end(), {"-h", "header.txt"});

    ProgramRun run = runProgram(folder, arguments,
                                {"VOSK_STUDIO_HEADER_FILE=" + folder.file("project.txt")});
    EXPECT_TRUE(run.status == 0 || run.status == 3) << "round " << round << ": " << run.status;
    EXPECT_EQ(run.errorOutput.compare(0, sizeof kBanner - 1, kBanner), 0);
    EXPECT_FALSE(run.wroteToOutput);
    EXPECT_EQ(reportFault(folder.file("out.xrd")), "") << "round " << round;
    // The old bytes stay; the summary starts on a line of its own.
    std::string after = readFile(folder.file("header.txt"));
    ASSERT_GT(after.size(), header.size());
    EXPECT_EQ(after.compare(0, header.size(), header), 0) << "round " << round;
    std::string start = header.back() == '\n' ? "-Test summary\nPassed=" : "\n-Test summary\nPassed=";
    EXPECT_EQ(after.compare(header.size(), start.size(), start), 0) << "round " << round;
  }
}

TEST(HostileInputTest, TokensAndNamesFarBeyondTheirLimits) {
  ScratchFolder folder;
  const std::string huge(1000000, 'n');
  writeFile(folder.file("s.ots"),
            "OF \"" + std::string(1000000, 'd') + "\" \"f.cpp\" 1\n"
            "CK 11 22\n"
            "TS 2 \"suite\" line=" + std::string(1000000, '9') + " parent=1;\n"
            "TC 3 \"" + huge + "\" line=2 parent=2;\n"
            "TC " + std::string(1000000, 'f') + " \"big id\" line=3 parent=2;\n"
            "TC 4 \"big link\" line=4 parent=2; " + std::string(1000000, 'k') + "=" +
            std::string(1000000, '7') + ";\n" +
            std::string(1000000, 'K') + "\n"  // no space: swallows the next line
            "lost line\n"
            "CO 5 \"comment\" line=5 parent=3;\n");
  writeFile(folder.file("run.tdf"),
            "SF 1 11 22\n"
            "NO \"" + std::string(1000000, 'x') + "\"\n"
            "OT 5\n"
            "NO \"" + std::string(1000000 / 4, 0) + "\"\n"
            "NO \"" + [] { std::string s; while (s.size() < 1000000) s += "\\377\\n"; return s; }() + "\"\n"
            "OT " + std::string(1000000, '3') + "\n"
            "OT 3 " + std::string(1000000, '1') + "\n"
            "CS " + std::string(1000000, 'h') + "\n"
            "OT 5\n");

  ProgramRun run = runProgram(folder, reportArguments({"s.ots"}, "run.tdf"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");
  std::string report = readFile(folder.file("out.xrd"));
  // The name keeps its first 1985 bytes, a token (the directory, the note
  // after its quote) its first 1023.
  EXPECT_EQ(countOf(report, "name=\"" + huge.substr(0, 1985) + "\""), 1u);
  EXPECT_EQ(countOf(report, huge.substr(0, 1986)), 0u);
  EXPECT_EQ(countOf(report, "<LINK TARGET=\"" + std::string(1023, 'd') + "f.cpp line 2\">"), 1u);
  EXPECT_EQ(countOf(report, "<TEXT>" + std::string(1022, 'x') + "</TEXT>"), 1u);
}

TEST(HostileInputTest, HeaderAndProjectLinesOfAHundredThousandBytes) {
  ScratchFolder folder;
  writeFile(folder.file("s.ots"), "");
  writeFile(folder.file("run.tdf"), "");
  const std::string header = std::string(100000, 'h') + "\n" + "k=" + std::string(99998, 'v') +
                             "\n#" + std::string(99999, 't') + "\n$" +
                             std::string(99999, 'P') + "\n" + std::string(100000, '-') + "\n";
  writeFile(folder.file("header.txt"), header);
  writeFile(folder.file("project.txt"), "$NAME=" + std::string(99994, 'N') + "\n$PROJECT_NAME=" +
                                            std::string(99986, 'p') + "\n");
  std::vector<std::string> arguments = reportArguments({"s.ots"}, "run.tdf");
  arguments.insert(arguments.end(), {"-h", "header.txt"});

  ProgramRun run = runProgram(folder, arguments,
                              {"VOSK_STUDIO_HEADER_FILE=" + folder.file("project.txt")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errorOutput, kBanner);
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");
  std::string report = readFile(folder.file("out.xrd"));
  // A line is read in pieces of 2046 bytes: 48 of them and 1792 bytes.
  const std::string titleRow = "<ROW STYLE=\"Array Title\"><CELL_TEXT COLSPAN=\"1\" ROWSPAN=\"0\">";
  EXPECT_EQ(countOf(report, titleRow + std::string(2046, 'h') + "</CELL_TEXT></ROW>"), 48u);
  EXPECT_EQ(countOf(report, titleRow + std::string(1792, 'h') + "</CELL_TEXT></ROW>"), 1u);
  EXPECT_EQ(countOf(report, "<CELL_TEXT STYLE=\"Array\">" + std::string(2044, 'v') + "</CELL_TEXT>"), 1u);
  // "$NAME=" and 2040 bytes of its value fill the first piece.
  EXPECT_EQ(countOf(report, "TAG=\"" + std::string(2040, 'N') + "x1\""), 1u);
  EXPECT_EQ(readFile(folder.file("header.txt")), header + kSummary);
}

// Stubs named by links so that moving children would make a node its own
// ancestor, directly or through other stubs and files. Every test case must
// still be written exactly once.
TEST(HostileInputTest, StubLinksThatWouldFormCycles) {
  ScratchFolder folder;
  writeFile(folder.file("a.ots"),
            "CK 11 22\n"
            "SB 2 \"self\" line=1 parent=1; link=2;\n"
            "TC 3 \"c3\" line=1 parent=2;\n"
            "SB 4 \"ping\" line=1 parent=1; link=5;\n"
            "TC 6 \"c6\" line=1 parent=4;\n"
            "SB 5 \"pong\" line=1 parent=1; link=4;\n"
            "TC 7 \"c7\" line=1 parent=5;\n"
            "SB 8 \"outer\" line=1 parent=1; link=9;\n"
            "SB 9 \"inner\" line=1 parent=8; link=8;\n"
            "TC a \"ca\" line=1 parent=9;\n"
            "TS b \"up\" line=1 parent=9; link=8;\n"
            "TC c \"cc\" line=1 parent=b;\n"
            "SB d \"ring1\" line=1 parent=1; link=e;\n"
            "TC 10 \"c10\" line=1 parent=d;\n"
            "SB e \"ring2\" line=1 parent=d; link=f;\n"
            "TC 11 \"c11\" line=1 parent=e;\n"
            "SB f \"ring3\" line=1 parent=e; link=d;\n"
            "TC 12 \"c12\" line=1 parent=f;\n"
            "SB 13 \"across\" line=1 parent=1; link=14;\n"
            "TC 15 \"c15\" line=1 parent=13;\n");
  writeFile(folder.file("b.ots"),
            "CK 33 44\n"
            "SB 14 \"back\" line=1 parent=1; link=13;\n"
            "TC 16 \"c16\" line=1 parent=14;\n"
            "SB 13 \"here\" line=1 parent=14; link=14;\n"
            "TC 17 \"c17\" line=1 parent=13;\n");
  writeFile(folder.file("run.tdf"), "SF 1 11 22\nOT 3\nOT 6\nSF 2 33 44\nOT 16\n");

  ProgramRun run = runProgram(folder, reportArguments({"a.ots", "b.ots"}, "run.tdf"));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errorOutput, kBanner);
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");
  std::string report = readFile(folder.file("out.xrd"));
  EXPECT_EQ(countOf(report, "type=\"Test Case\""), 11u);
  for (const char* name : {"c3", "c6", "c7", "ca", "cc", "c10", "c11", "c12", "c15", "c16", "c17"})
    EXPECT_EQ(countOf(report, " "s + name + "\" type=\"Test Case\"") +
                  countOf(report, "\""s + name + "\" type=\"Test Case\""),
              1u)
        << name;
}

TEST(HostileInputTest, DirectoriesAndAFullDeviceWhereFilesBelong) {
  ScratchFolder folder;
  mkdir(folder.file("dir").c_str(), 0755);
  writeFile(folder.file("s.ots"), "TC 2 \"case\" line=1 parent=1;\n");
  writeFile(folder.file("run.tdf"), "");

  // Directories as symbol file, trace file, header text file and project
  // information file read as empty files.
  std::vector<std::string> arguments = reportArguments({"dir", "s.ots"}, "dir");
  arguments.insert(arguments.end(), {"-h", "dir"});
  ProgramRun run = runProgram(folder, arguments, {"VOSK_STUDIO_HEADER_FILE=" + folder.file("dir")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errorOutput, kBanner);
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");
  run = runProgram(folder, reportArguments({"s.ots"}, "run.tdf"),
                   {"VOSK_STUDIO_HEADER_FILE=" + folder.file("dir")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(reportFault(folder.file("out.xrd")), "");

  run = runProgram(folder, {"-ots", "s.ots", "-tdf", "run.tdf", "-xrd", "dir"});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.errorOutput, kBanner + "veldora - error: dir, permission denied;\n"s);

  run = runProgram(folder, {"-ots", "s.ots", "-tdf", "run.tdf", "-xrd", "/dev/full"});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.errorOutput, kBanner + "veldora - error: /dev/full, write error.\n"s);
  EXPECT_FALSE(run.wroteToOutput);
}

}  // namespace
