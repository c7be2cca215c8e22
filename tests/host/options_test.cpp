#include "HostOptions.h"
#include "ScriptReader.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace cadhost;

TEST(HostOptions, DefaultsAndEveryOption) {
    ParseResult none = parseOptions({});
    ASSERT_TRUE(none.options);
    EXPECT_EQ(none.options->product, "AutoCAD 2015");
    EXPECT_FALSE(none.options->batch);
    EXPECT_TRUE(none.options->drawings.empty());

    ParseResult r = parseOptions({"--product", "AutoCAD LT 2015", "--c-drive=/tmp/c", "--module", "m.so", "--script",
                                  "s.scr", "--batch", "a.dxf", "b.dxf"});
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->product, "AutoCAD LT 2015");
    EXPECT_EQ(r.options->cDrive, "/tmp/c");
    EXPECT_EQ(r.options->module, "m.so");
    EXPECT_EQ(r.options->script, "s.scr");
    EXPECT_TRUE(r.options->batch);
    EXPECT_EQ(r.options->drawings, (std::vector<std::string>{"a.dxf", "b.dxf"}));

    ParseResult dashes = parseOptions({"--", "--batch"});
    ASSERT_TRUE(dashes.options);
    EXPECT_FALSE(dashes.options->batch);
    EXPECT_EQ(dashes.options->drawings, std::vector<std::string>{"--batch"});
}

TEST(HostOptions, WrongCommandLinesAreRefusedWithAReason) {
    ParseResult missing = parseOptions({"--script"});
    EXPECT_FALSE(missing.options);
    EXPECT_NE(missing.error.find("--script"), std::string::npos);
    ParseResult unknown = parseOptions({"--colour", "red"});
    EXPECT_FALSE(unknown.options);
    EXPECT_NE(unknown.error.find("--colour"), std::string::npos);
    EXPECT_FALSE(parseOptions({"--batch=yes"}).options);
    EXPECT_NE(usageText().find("--c-drive DIR"), std::string::npos);
}

TEST(ScriptLines, CommentsBlanksAndLineEnds) {
    bool onlyComment = false;
    EXPECT_EQ(stripLine("OPEN a.dxf ; the plan\r", &onlyComment), "OPEN a.dxf");
    EXPECT_FALSE(onlyComment);
    EXPECT_EQ(stripLine("; just a note", &onlyComment), "");
    EXPECT_TRUE(onlyComment);
    EXPECT_EQ(stripLine("", &onlyComment), "");
    EXPECT_FALSE(onlyComment);
    // A semicolon inside a word is part of it.
    EXPECT_EQ(stripLine("SAVEAS /tmp/a;b.dxf"), "SAVEAS /tmp/a;b.dxf");

    std::istringstream in("; header\nmlb\n\n  ; indented note\n*Cancel*\r\n");
    LineReader reader(in, "demo.scr");
    EXPECT_EQ(reader.next(), "mlb");
    EXPECT_EQ(reader.lineNumber(), 2);
    EXPECT_EQ(reader.next(), ""); // an empty line is Enter
    EXPECT_EQ(reader.next(), "*Cancel*");
    EXPECT_EQ(reader.lineNumber(), 5);
    EXPECT_FALSE(reader.next());
}

#include "HostAnswers.h"

TEST(Answers, MessageBoxButtonsByBoxType) {
    EXPECT_EQ(messageBoxAnswer(L"ok", kMbOk), kIdOk);
    EXPECT_EQ(messageBoxAnswer(L"YES", kMbYesNo), kIdYes);
    EXPECT_EQ(messageBoxAnswer(L" no ", kMbYesNoCancel), kIdNo);
    EXPECT_EQ(messageBoxAnswer(L"cancel", kMbOkCancel | 0x30), kIdCancel); // icon bits ignored
    EXPECT_EQ(messageBoxAnswer(L"", kMbYesNo), kIdYes);                    // Enter: default button
    EXPECT_FALSE(messageBoxAnswer(L"yes", kMbOk));
    EXPECT_FALSE(messageBoxAnswer(L"cancel", kMbYesNo));
    EXPECT_FALSE(messageBoxAnswer(L"maybe", kMbYesNoCancel));
    EXPECT_EQ(messageBoxNoAnswer(kMbOk), kIdOk);
    EXPECT_EQ(messageBoxNoAnswer(kMbYesNo), kIdNo);
    EXPECT_EQ(messageBoxNoAnswer(kMbYesNoCancel), kIdCancel);
    EXPECT_EQ(messageBoxChoices(kMbYesNoCancel), L"yes/no/cancel");
}

TEST(Answers, FileDialogPathOrCancel) {
    EXPECT_EQ(fileDialogAnswer(L"C:\\reports\\a.xml "), L"C:\\reports\\a.xml");
    EXPECT_FALSE(fileDialogAnswer(L"Cancel"));
    EXPECT_FALSE(fileDialogAnswer(L""));
    EXPECT_TRUE(isMessageBoxWord(L"Yes"));
    EXPECT_FALSE(isMessageBoxWord(L"mbc"));
}
